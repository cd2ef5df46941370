#include "modulation/ModulationMatrixPlugin.h"

#include <algorithm>

namespace {
bool isTarget(int target) {
    return target >= 0 && target < ModulationMatrixPlugin::kTargetCount;
}
}  // namespace

ModulationMatrixPlugin::ModulationMatrixPlugin() = default;

void ModulationMatrixPlugin::setTargetBaseValue(int target, float value, float /*rampMs*/) {
    if (isTarget(target)) baseValues_[static_cast<size_t>(target)] = value;
}

float ModulationMatrixPlugin::targetBaseValue(int target) const {
    return isTarget(target) ? baseValues_[static_cast<size_t>(target)] : 0.0f;
}

void ModulationMatrixPlugin::registerTargetParameter(int target,
                                                     AbstractPluginParameter* parameter) {
    if (isTarget(target)) targetParameters_[static_cast<size_t>(target)] = parameter;
}

AbstractPluginParameter* ModulationMatrixPlugin::targetParameter(int target) const {
    return isTarget(target) ? targetParameters_[static_cast<size_t>(target)] : nullptr;
}

int ModulationMatrixPlugin::targetOfParameter(const AbstractPluginParameter* parameter) const {
    const auto it = std::find(targetParameters_.begin(), targetParameters_.end(), parameter);
    if (parameter == nullptr || it == targetParameters_.end()) return -1;
    return static_cast<int>(it - targetParameters_.begin());
}
