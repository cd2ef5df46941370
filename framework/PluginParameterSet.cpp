#include "framework/PluginParameterSet.h"

PluginParameterSet::PluginParameterSet(GenericParameterOwner* owner, const std::string& name)
    : group_(owner->registerGroup(name)), owner_(owner), name_(name) {}

AbstractPluginParameter* PluginParameterSet::getParameter(int index) {
    if (index < 0 || index >= static_cast<int>(parameters_.size())) return nullptr;
    return parameters_[static_cast<size_t>(index)];
}

uint32_t PluginParameterSet::registerParameter(AbstractPluginParameter* parameter) {
    parameters_.push_back(parameter);
    return owner_->registerParameter(parameter);
}
