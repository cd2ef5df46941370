#pragma once

#include <string>

#include "framework/IndexedPluginParameter.h"
#include "framework/PluginParameterSet.h"
#include "framework/SynthNumbering.h"
#include "modulation/ModulationSlotParameter.h"
#include "modulation/ModulationTargetParameter.h"

class ModulationMatrixPlugin;

// One slot of the modulation matrix, "Slot 1" to "Slot 50". Source and Target hold the source or
// target number plus one (0: none); the Level of slot n is target 107 + n - 1, so slots can
// modulate one another's levels.
class ModulationSlotParameterSet : public PluginParameterSet {
public:
    static constexpr int kCount = synth::kSlots;
    static constexpr int kFirstLevelTarget = synth::kFirstSlotLevelTarget;

    ModulationSlotParameterSet(GenericParameterOwner* owner, ModulationMatrixPlugin& plugin,
                               int index);
    void setup() override;

    ModulationSlotParameter<int> source;
    ModulationTargetParameter level;
    ModulationSlotParameter<bool> bypassed;
    ModulationSlotParameter<bool> inverted;
    ModulationSlotParameter<int> target;

private:
    std::string subject_;
};
