#pragma once

#include <string>

#include "framework/PluginParameterSet.h"
#include "framework/PropPluginParameter.h"
#include "framework/SynthNumbering.h"
#include "modulation/ModulationTargetParameter.h"

class ModulationMatrixPlugin;

// One multi-mode filter of the voice ("Filter 1", "Filter 2") or of the delay ("Delay Filter 1",
// "Delay Filter 2"). Its three targets follow one another in the order Freq, Pan, Peak.
class FilterParameterSet : public PluginParameterSet {
public:
    static constexpr int kFirstVoiceFilterTarget = synth::kFirstFilterTarget;
    static constexpr int kFirstDelayFilterTarget = synth::kFirstDelayFilterTarget;
    static constexpr int kTargetsPerFilter = synth::kTargetsPerFilter;

    // subject names the filter in help texts ("filter 1").
    FilterParameterSet(GenericParameterOwner* owner, ModulationMatrixPlugin& plugin,
                       const std::string& name, int firstTarget, const std::string& subject);
    void setup() override;
    // Connects the switches to one filter of a voice channel or of the delay.
    void bind(Property<int>& characteristicProperty, Property<int>& responseProperty,
              Property<int>& slopeProperty, Property<bool>& enabledProperty);

    ModulationTargetParameter freq;
    ModulationTargetParameter pan;
    ModulationTargetParameter peak;
    PropPluginParameter<int> characteristic;
    PropPluginParameter<int> response;
    PropPluginParameter<int> slope;
    PropPluginParameter<bool> enabled;

private:
    std::string subject_;
};
