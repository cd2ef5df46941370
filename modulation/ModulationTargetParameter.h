#pragma once

#include <string>

#include "framework/FloatPluginParameter.h"

class ModulationMatrixPlugin;

// A continuous parameter whose engine value is the base value of a modulation target.
class ModulationTargetParameter : public FloatPluginParameter {
public:
    // Registers itself with the plug-in as the parameter behind the target.
    ModulationTargetParameter(GenericParameterOwner* owner, const std::string& name,
                              ModulationMatrixPlugin& plugin, int target);

    void applyValue(float plain) override;

    int target() const { return target_; }

private:
    ModulationMatrixPlugin& plugin_;
    int target_;
};
