#pragma once

#include <string>
#include <vector>

#include "framework/FloatPluginParameter.h"
#include "framework/IndexedPluginParameter.h"
#include "framework/PluginParameterSet.h"
#include "framework/PropPluginParameter.h"
#include "framework/SynthNumbering.h"
#include "modulation/ModulationTargetParameter.h"

class ModulationMatrixPlugin;

// One oscillator: "Osc 1" to "Osc 3". Its tune (master scale + detune + octave) is the base value
// of its Detune target.
class OscillatorParameterSet : public PluginParameterSet {
public:
    static constexpr int kCount = synth::kOscillators;
    static constexpr int kFirstTarget = synth::kFirstOscillatorTarget;
    static constexpr int kTargetsPerOscillator = synth::kTargetsPerOscillator;
    // Target order within an oscillator (not the parameter order).
    static constexpr int kDetuneTarget = synth::kDetuneTarget;
    static constexpr int kPulseWidthTarget = synth::kPulseWidthTarget;
    static constexpr int kSyncTarget = synth::kSyncTarget;
    static constexpr int kLevelTarget = synth::kLevelTarget;
    static constexpr int kPanTarget = synth::kPanTarget;

    static constexpr int target(int oscillator, int offset) {
        return kFirstTarget + kTargetsPerOscillator * oscillator + offset;
    }

    // A parameter whose change retunes the oscillator: the detune glides, the octave jumps.
    template <typename Base>
    class TuneParameter : public Base {
    public:
        TuneParameter(OscillatorParameterSet& set, const std::string& name)
            : Base(&set, name), set_(set) {}
        void applyValue(float plain) override { set_.tuneApplied(*this, plain); }

    private:
        OscillatorParameterSet& set_;
    };

    // "Master Scale": the footage of all three oscillators, -1 (32') to 2 (4') octaves.
    class MasterScaleParameter : public IndexedPluginParameter<int> {
    public:
        using IndexedPluginParameter<int>::IndexedPluginParameter;
        // Building: an oscillator to retune whenever the scale is applied.
        void addOscillator(OscillatorParameterSet* oscillator) {
            oscillators_.push_back(oscillator);
        }
        void applyValue(float plain) override;

    private:
        std::vector<OscillatorParameterSet*> oscillators_;
    };

    // Oscillator index 0..2.
    OscillatorParameterSet(GenericParameterOwner* owner, ModulationMatrixPlugin& plugin, int index);
    void setup() override;
    // Connects the switches to one oscillator of an oscillator voice.
    void bind(Property<int>& waveFormProperty, Property<bool>& phaseSyncProperty,
              Property<bool>& enabledProperty);

    int index() const { return index_; }
    // The last applied tune in octaves.
    float tuneOctaves() const { return masterOctaves_ + detuneOctaves_ + scaleOctaves_; }

    TuneParameter<FloatPluginParameter> detune;
    TuneParameter<IndexedPluginParameter<int>> scale;
    PropPluginParameter<int> waveForm;
    ModulationTargetParameter sync;
    ModulationTargetParameter pulseWidth;
    ModulationTargetParameter level;
    ModulationTargetParameter pan;
    PropPluginParameter<bool> phaseSync;
    PropPluginParameter<bool> enabled;

private:
    void tuneApplied(const TuneParameter<FloatPluginParameter>& parameter, float plain);
    void tuneApplied(const TuneParameter<IndexedPluginParameter<int>>& parameter, float plain);
    void masterScaleApplied(float octaves);
    void retune(float rampMs);

    ModulationMatrixPlugin& plugin_;
    int index_;
    std::string subject_;
    float masterOctaves_ = 0.0f;
    float detuneOctaves_ = 0.0f;
    float scaleOctaves_ = 0.0f;
};
