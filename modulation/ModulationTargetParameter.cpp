#include "modulation/ModulationTargetParameter.h"

#include "modulation/ModulationMatrixPlugin.h"

ModulationTargetParameter::ModulationTargetParameter(GenericParameterOwner* owner,
                                                     const std::string& name,
                                                     ModulationMatrixPlugin& plugin, int target)
    : FloatPluginParameter(owner, name), plugin_(plugin), target_(target) {
    plugin_.registerTargetParameter(target, this);
}

void ModulationTargetParameter::applyValue(float plain) {
    plugin_.setTargetBaseValue(target_, engineValue(plain), ModulationMatrixPlugin::kAutomaticRamp);
}
