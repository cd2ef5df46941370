#pragma once

#include <string>

#include "framework/FloatParamPluginParameter.h"
#include "framework/ParameterSetList.h"
#include "framework/PluginParameterSet.h"
#include "framework/PropPluginParameter.h"
#include "framework/SynthNumbering.h"
#include "modulation/ModulationTargetParameter.h"

class ModulationMatrixPlugin;
class XLFO;
class XLFOFreqController;

// One step of an XLFO: "XLFO 1 Step 1" to "XLFO 6 Step 16".
class XLFOStepParameterSet : public PluginParameterSet {
public:
    static constexpr int kCount = 16;

    XLFOStepParameterSet(GenericParameterOwner* owner, const std::string& xlfoName, int index);
    void setup() override;

    LimFloatPropPluginParameter value;
    LimFloatPropPluginParameter glide;
    PropPluginParameter<int> glideFunction;
    PropPluginParameter<bool> random;

private:
    std::string subject_;
};

// One step LFO, "XLFO 1" to "XLFO 6", with its list of 16 steps. XLFO j owns the targets
// 41 + 3j (Frequency), 42 + 3j (Glide), 43 + 3j (Phase Offset) and is source 8 + j. The steps'
// parameters belong to the XLFO's set, so they move with it when the XLFO list changes.
class XLFOParameterSet : public PluginParameterSet {
public:
    static constexpr int kCount = synth::kXLFOs;
    static constexpr int kFirstTarget = synth::kFirstXLFOTarget;
    static constexpr int kTargetsPerXLFO = synth::kTargetsPerXLFO;
    static constexpr int kFirstSource = synth::kFirstXLFOSource;

    XLFOParameterSet(GenericParameterOwner* owner, ModulationMatrixPlugin& plugin, int index);
    void setup() override;
    // Connects the XLFO's settings and steps to its unit and frequency controller.
    void bind(XLFO& xlfo, XLFOFreqController& frequencyController);

    ModulationTargetParameter frequency;
    FloatParamPluginParameter frequencyOffset;
    LimFloatPropPluginParameter balance;
    ModulationTargetParameter phaseOffset;
    ModulationTargetParameter glide;
    PropPluginParameter<int> syncMode;
    PropPluginParameter<bool> midiTrigger;
    PropPluginParameter<bool> snap;
    ParameterSetList<XLFOStepParameterSet> steps;

private:
    std::string subject_;
};
