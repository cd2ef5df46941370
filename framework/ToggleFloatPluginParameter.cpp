#include "framework/ToggleFloatPluginParameter.h"

ToggleFloatPluginParameter::ToggleFloatPluginParameter(GenericParameterOwner* owner,
                                                       const std::string& name)
    : IndexedPluginParameter<bool>(owner, name) {
    declare(0, 1, false);
}

void ToggleFloatPluginParameter::setValueTable(float off, float on) {
    table_ = {off, on};
}

void ToggleFloatPluginParameter::applyValue(float plain) {
    const float target = table_[valueForIndex(static_cast<int>(plain)) ? 1 : 0];
    for (wave::FloatParameterSource* source : sources_) source->setTarget(target, -1.0f);
}
