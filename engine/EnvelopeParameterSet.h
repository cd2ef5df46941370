#pragma once

#include <string>

#include "framework/PluginParameterSet.h"
#include "framework/PropPluginParameter.h"
#include "framework/SynthNumbering.h"
#include "modulation/ModulationTargetParameter.h"

class ModulationMatrixPlugin;

// One envelope generator: "EG Main" (the amplitude envelope, entry 0) or "EG 2" to "EG 6". EG i
// owns the targets 59 + 6i .. 64 + 6i (Hold, Delay, Attack, Decay, Sustain, Release) and is
// source 14 + i.
class EnvelopeParameterSet : public PluginParameterSet {
public:
    static constexpr int kCount = synth::kEnvelopes;
    static constexpr int kFirstTarget = synth::kFirstEnvelopeTarget;
    static constexpr int kTargetsPerEnvelope = synth::kTargetsPerEnvelope;
    static constexpr int kFirstSource = synth::kFirstEnvelopeSource;

    EnvelopeParameterSet(GenericParameterOwner* owner, ModulationMatrixPlugin& plugin, int index);
    // "EG Main" ends with Delay, Range, Threshold and Triggering hidden from host automation.
    void setup() override;

    bool isMain() const { return index_ == 0; }

    ModulationTargetParameter hold;
    ModulationTargetParameter delay;
    PropPluginParameter<int> range;
    LimFloatPropPluginParameter threshold;
    PropPluginParameter<int> triggering;
    ModulationTargetParameter attack;
    ModulationTargetParameter decay;
    ModulationTargetParameter sustain;
    ModulationTargetParameter release;

private:
    int index_;
    std::string subject_;
};
