#pragma once

#include <string>

#include "framework/PluginParameterSet.h"
#include "framework/PropPluginParameter.h"
#include "framework/SynthNumbering.h"

class MidiModSource;

// One MIDI modulation source, "MIDI Source 1" to "MIDI Source 10" (short name "MS 1" ...).
// MIDI source s is modulation source 24 + s.
class MidiSourceParameterSet : public PluginParameterSet {
public:
    static constexpr int kCount = synth::kMidiSources;
    static constexpr int kFirstSource = synth::kFirstMidiSource;
    static constexpr int kControllerInput = 5;

    MidiSourceParameterSet(GenericParameterOwner* owner, int index);
    void setup() override;
    void bind(MidiModSource& source);

    const std::string& shortName() const { return shortName_; }
    // "MS 1 (Mod Wheel)", or with the Controller input the controller number: "MS 2 (64)".
    std::string displayLabel() const;

    PropPluginParameter<int> input;
    PropPluginParameter<int> controllerNumber;
    PropPluginParameter<int> responseCurve;

private:
    std::string shortName_;
};
