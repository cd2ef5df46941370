#include "framework/AbstractPluginParameter.h"

AbstractPluginParameter::AbstractPluginParameter(GenericParameterOwner* owner, int kind,
                                                 const std::string& name)
    : name_(name), hostName_(name), owner_(owner), kind_(kind) {
    id_ = owner_->registerParameter(this);
}
