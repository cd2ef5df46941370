#pragma once

#include <string>

#include "framework/IndexedPluginParameter.h"
#include "modulation/ModulationMatrixPlugin.h"

// A slot's Source, Target, Inverted or Bypassed switch: applying it writes the slot record of
// the plug-in's matrix.
template <typename T>
class ModulationSlotParameter : public IndexedPluginParameter<T> {
public:
    using Field = ModulationMatrixPlugin::SlotField;

    ModulationSlotParameter(GenericParameterOwner* owner, const std::string& name,
                            ModulationMatrixPlugin& plugin, int slot, Field field)
        : IndexedPluginParameter<T>(owner, name), plugin_(plugin), slot_(slot), field_(field) {}

    void applyValue(float plain) override { plugin_.applySlotField(slot_, field_, plain); }

private:
    ModulationMatrixPlugin& plugin_;
    int slot_;
    Field field_;
};
