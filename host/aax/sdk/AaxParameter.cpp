#include "host/aax/sdk/AaxParameter.h"

void AAX_CParameterManager::AddParameter(std::unique_ptr<AAX_IParameter> parameter) {
    byIdentifier_[parameter->Identifier()] = parameter.get();
    parameters_.push_back(std::move(parameter));
}

AAX_IParameter* AAX_CParameterManager::GetParameter(int32_t index) const {
    if (index < 0 || index >= NumParameters()) return nullptr;
    return parameters_[static_cast<size_t>(index)].get();
}

AAX_IParameter* AAX_CParameterManager::GetParameterByID(AAX_CParamID identifier) const {
    const auto it = byIdentifier_.find(identifier);
    return it == byIdentifier_.end() ? nullptr : it->second;
}
