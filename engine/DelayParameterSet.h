#pragma once

#include <string>

#include "framework/PluginParameterSet.h"
#include "framework/PropPluginParameter.h"
#include "framework/SynthNumbering.h"
#include "modulation/ModulationTargetParameter.h"

class ModulationMatrixPlugin;

// One line of the stereo delay: "Delay L" or "Delay R". Its four targets follow one another in
// the order Time, Offset, Feedback, Cross Feedback.
class DelayParameterSet : public PluginParameterSet {
public:
    static constexpr int kFirstTarget = synth::kFirstDelayTarget;
    static constexpr int kTargetsPerDelay = synth::kTargetsPerDelay;

    // index 0 is the left line, 1 the right.
    DelayParameterSet(GenericParameterOwner* owner, ModulationMatrixPlugin& plugin, int index);
    void setup() override;
    void bind(Property<int>& syncProperty, Property<bool>& enabledProperty);

    ModulationTargetParameter time;
    ModulationTargetParameter offset;
    PropPluginParameter<int> sync;
    ModulationTargetParameter feedback;
    ModulationTargetParameter crossFeedback;
    PropPluginParameter<bool> enabled;

private:
    std::string subject_;
};
