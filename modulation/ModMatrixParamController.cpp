#include "modulation/ModMatrixParamController.h"

#include <algorithm>
#include <utility>

#include "framework/AbstractPluginParameter.h"
#include "framework/GenericParameterOwner.h"

namespace {
// Level targets are the last ones; no target number reaches this.
constexpr int kMarkCapacity = 256;

int asNumber(const AbstractPluginParameter* p) {
    return static_cast<int>(p->getValue()) - 1;
}
}  // namespace

ModMatrixParamController::ModMatrixParamController(GenericParameterOwner& owner,
                                                   std::vector<SlotParameters> slots,
                                                   const ModulationMatrix* matrix,
                                                   int firstLevelTarget)
    : owner_(owner),
      slots_(std::move(slots)),
      matrix_(matrix),
      firstLevelTarget_(firstLevelTarget),
      marks_(static_cast<size_t>(matrix ? matrix->targetCount() : kMarkCapacity), false) {}

void ModMatrixParamController::beginEdit() {
    owner_.beginUpdate();
}

void ModMatrixParamController::endEdit() {
    owner_.endUpdate();
}

int ModMatrixParamController::findFreeSlot() const {
    for (int i = 0; i < slotCount(); ++i) {
        if (getSlotSource(i) < 0 && getSlotTarget(i) < 0) return i;
    }
    if (matrix_) {
        for (int i = 0; i < slotCount() && i < matrix_->slotCount(); ++i) {
            if (matrix_->slot(i).state == ModulationMatrix::kStateInactive) return i;
        }
    }
    return -1;
}

bool ModMatrixParamController::isInverted(int slot) const {
    return at(slot).inverted->getValue() >= 0.5f;
}

bool ModMatrixParamController::isBypassed(int slot) const {
    return at(slot).bypassed->getValue() >= 0.5f;
}

float ModMatrixParamController::getSlotLevel(int slot) const {
    return at(slot).level->getValue();
}

int ModMatrixParamController::getSlotSource(int slot) const {
    return asNumber(at(slot).source);
}

int ModMatrixParamController::getSlotTarget(int slot) const {
    return asNumber(at(slot).target);
}

void ModMatrixParamController::findSlotsBySourceRange(int first, int count,
                                                      std::vector<int>& out) const {
    for (int i = 0; i < slotCount(); ++i) {
        const int s = getSlotSource(i);
        if (s >= first && s < first + count) out.push_back(i);
    }
}

void ModMatrixParamController::findSlotsBySource(int source, std::vector<int>& out) const {
    findSlotsBySourceRange(source, 1, out);
}

void ModMatrixParamController::findSlotsForSourceKey(int key, int group,
                                                     std::vector<int>& out) const {
    for (int i = 0; i < slotCount(); ++i) {
        const int s = getSlotSource(i);
        const int t = getSlotTarget(i);
        if (s < 0 || t < 0) continue;
        if (key != -1 && (!matrix_ || matrix_->source(s).key != key)) continue;
        if (group != -1 && (!matrix_ || matrix_->target(t).group != group)) continue;
        out.push_back(i);
    }
}

void ModMatrixParamController::findSlotsByTargets(const std::vector<int>& targets,
                                                  std::vector<int>& out) const {
    for (int i = 0; i < slotCount(); ++i) {
        const int t = getSlotTarget(i);
        if (t >= 0 && std::find(targets.begin(), targets.end(), t) != targets.end()) {
            out.push_back(i);
        }
    }
}

void ModMatrixParamController::findSlotsByTargetRange(int first, int count,
                                                      std::vector<int>& out) const {
    for (int i = 0; i < slotCount(); ++i) {
        const int t = getSlotTarget(i);
        if (t >= first && t < first + count) out.push_back(i);
    }
}

void ModMatrixParamController::findSlotsByTarget(int target, std::vector<int>& out) const {
    findSlotsByTargetRange(target, 1, out);
}

void ModMatrixParamController::setInverted(int slot, bool inverted) {
    at(slot).inverted->setValue(inverted ? 1.0f : 0.0f, 0);
}

void ModMatrixParamController::setBypassed(int slot, bool bypassed) {
    at(slot).bypassed->setValue(bypassed ? 1.0f : 0.0f, 0);
}

void ModMatrixParamController::setSlotLevel(int slot, float level) {
    at(slot).level->setValue(level, 0);
}

void ModMatrixParamController::setSlotSource(int slot, int source) {
    at(slot).source->setValue(static_cast<float>(source + 1), 0);
}

void ModMatrixParamController::setSlotTarget(int slot, int target) {
    at(slot).target->setValue(static_cast<float>(target + 1), 0);
}

void ModMatrixParamController::clearMarks() {
    std::fill(marks_.begin(), marks_.end(), false);
}

void ModMatrixParamController::collectDependentTargets(int target) {
    if (target < 0 || target >= static_cast<int>(marks_.size()) ||
        marks_[static_cast<size_t>(target)]) {
        return;
    }
    marks_[static_cast<size_t>(target)] = true;
    std::vector<int> aimed;
    findSlotsByTarget(target, aimed);
    for (int slot : aimed) {
        collectDependentTargets(firstLevelTarget_ + slot);
        const int source = getSlotSource(slot);
        if (matrix_ && source >= 0) {
            for (int listed : matrix_->source(source).targets) collectDependentTargets(listed);
        }
    }
}
