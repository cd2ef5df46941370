#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/DelayParameterSet.h"
#include "engine/EnvelopeParameterSet.h"
#include "engine/FilterParameterSet.h"
#include "engine/FollowerParameterSet.h"
#include "engine/MidiSourceParameterSet.h"
#include "engine/MidiVirtualPluginParameter.h"
#include "engine/ModulationSlotParameterSet.h"
#include "engine/OscillatorParameterSet.h"
#include "engine/XLFOParameterSet.h"
#include "engine/XYControllerParameterSet.h"
#include "framework/ParameterSetArray.h"
#include "framework/PropPluginParameter.h"
#include "framework/TargetParameterSetList.h"
#include "framework/ToggleFloatPluginParameter.h"
#include "modulation/ModulationMatrixPlugin.h"
#include "modulation/ModulationTargetParameter.h"

// The synthesizer. So far it owns its 883 host parameters (ids 0..882 in construction order)
// and the four virtual MIDI parameters; the engine joins later.
class VornPlugin : public ModulationMatrixPlugin {
public:
    static constexpr int kHostParameterCount = 883;
    static constexpr int kEditorWidth = 554;
    static constexpr int kEditorHeight = 1066;

    struct Parameters;

    VornPlugin();
    ~VornPlugin() override;

    std::string pluginId() override { return "QV2i"; }
    int editorDefaultWidth() override { return kEditorWidth; }
    int editorDefaultHeight() override { return kEditorHeight; }
    bool acceptsSideChain() override { return true; }

    Parameters& parameters() { return *parameters_; }
    const std::vector<MidiVirtualPluginParameter*>& virtualParameters() const {
        return virtualParameters_;
    }
    // Null when the id is not a virtual parameter's.
    MidiVirtualPluginParameter* virtualParameter(uint32_t id) const;

private:
    void setupParameters();
    void applyAllParameters();
    // List removals delete and renumber the slots through the slot parameters.
    void connectModulationLists();

    // Declared before the parameters: the virtual ones enter it as they are made.
    std::vector<MidiVirtualPluginParameter*> virtualParameters_;
    std::unique_ptr<Parameters> parameters_;
};

// Every parameter of the synthesizer, as members in construction order: the order fixes the ids.
struct VornPlugin::Parameters {
    explicit Parameters(VornPlugin& plugin);

    ModulationTargetParameter masterTune;
    OscillatorParameterSet::MasterScaleParameter masterScale;
    ParameterSetArray<OscillatorParameterSet> oscillators;
    PropPluginParameter<bool> ringModulation;
    ModulationTargetParameter portamento;
    PropPluginParameter<int> portamentoMode;
    ParameterSetArray<FilterParameterSet> filters;
    PropPluginParameter<int> filterRouting;
    ParameterSetArray<DelayParameterSet> delays;
    PropPluginParameter<int> delayLink;
    PropPluginParameter<int> delayFilterRouting;
    ParameterSetArray<FilterParameterSet> delayFilters;
    ToggleFloatPluginParameter delayEnabled;
    ModulationTargetParameter delayLevel;
    ModulationTargetParameter delayPan;
    ToggleFloatPluginParameter wetEnabled;
    ModulationTargetParameter dryLevel;
    ModulationTargetParameter dryPan;
    SourceParameterSetList<XYControllerParameterSet> xyControllers;
    SourceParameterSetList<XLFOParameterSet> xlfos;
    SourceParameterSetList<EnvelopeParameterSet> envelopes;
    SourceParameterSetList<FollowerParameterSet> followers;
    SourceParameterSetList<MidiSourceParameterSet> midiSources;
    PropPluginParameter<int> auditionSignal;
    ModulationTargetParameter outputVolume;
    ModulationTargetParameter outputPan;
    ModulationTargetParameter stereo;
    PropPluginParameter<int> totalVoices;
    PropPluginParameter<int> unisonVoices;
    PropPluginParameter<int> polyphony;
    ModulationTargetParameter unisonSpread;
    TargetParameterSetList<ModulationSlotParameterSet> slots;

    // MIDI learn only; not host parameters.
    MidiMultiVirtualPluginParameter filterLinkFreq;
    MidiMultiVirtualPluginParameter filterLinkPeak;
    MidiMultiVirtualPluginParameter delayFilterLinkFreq;
    MidiMultiVirtualPluginParameter delayFilterLinkPeak;
};
