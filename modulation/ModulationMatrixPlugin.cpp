#include "modulation/ModulationMatrixPlugin.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
bool isTarget(int target) {
    return target >= 0 && target < ModulationMatrixPlugin::kTargetCount;
}
}  // namespace

ModulationMatrixPlugin::ModulationMatrixPlugin() {
    for (auto& v : displayValues_) v.store(std::numeric_limits<float>::quiet_NaN());
}

ModulationMatrixPlugin::~ModulationMatrixPlugin() = default;

float ModulationMatrixPlugin::modulationDisplayValue(int source) {
    if (source < 0 || source >= kSourceCount) return std::numeric_limits<float>::quiet_NaN();
    return displayValues_[static_cast<size_t>(source)].load(std::memory_order_relaxed);
}

ModulationMatrix& ModulationMatrixPlugin::createModulationMatrix() {
    matrix_ =
        std::make_unique<ModulationMatrix>(environment(), kSourceCount, kTargetCount, kSlotCount,
                                           kFirstSlotLevelTarget, kTargetGroupCount);
    return *matrix_;
}

void ModulationMatrixPlugin::applySlotField(int slot, SlotField field, float plain) {
    if (!matrix_ || slot < 0 || slot >= kSlotCount) return;
    const int index = static_cast<int>(std::lround(plain));
    switch (field) {
        case SlotField::Source:
            matrix_->setSlotSource(slot, index - 1);
            break;
        case SlotField::Target:
            matrix_->setSlotTarget(slot, index - 1);
            break;
        case SlotField::Inverted:
            matrix_->setSlotInverted(slot, index != 0);
            break;
        case SlotField::Bypassed:
            matrix_->setSlotBypassed(slot, index != 0);
            break;
    }
}

void ModulationMatrixPlugin::setTargetBaseValue(int target, float value, float rampMs) {
    if (!isTarget(target)) return;
    baseValues_[static_cast<size_t>(target)] = value;
    if (matrix_) matrix_->setTargetBaseValue(target, value, rampMs);
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
