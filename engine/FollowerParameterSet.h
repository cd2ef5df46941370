#pragma once

#include <string>

#include "framework/PluginParameterSet.h"
#include "framework/SynthNumbering.h"
#include "modulation/ModulationTargetParameter.h"

class ModulationMatrixPlugin;

// One envelope follower on the side chain, "EF 1" to "EF 4". EF e owns the targets 95 + 2e
// (Attack) and 96 + 2e (Release) and is source 20 + e.
class FollowerParameterSet : public PluginParameterSet {
public:
    static constexpr int kCount = synth::kFollowers;
    static constexpr int kFirstTarget = synth::kFirstFollowerTarget;
    static constexpr int kTargetsPerFollower = synth::kTargetsPerFollower;
    static constexpr int kFirstSource = synth::kFirstFollowerSource;

    FollowerParameterSet(GenericParameterOwner* owner, ModulationMatrixPlugin& plugin, int index);
    void setup() override;

    ModulationTargetParameter attack;
    ModulationTargetParameter release;

private:
    std::string subject_;
};
