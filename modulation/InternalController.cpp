#include "modulation/InternalController.h"

#include <algorithm>

int InternalController::findFreeSlot() const {
    for (int i = 0; i < matrix_.slotCount(); ++i) {
        if (matrix_.slot(i).source < 0 && matrix_.slot(i).target < 0) return i;
    }
    for (int i = 0; i < matrix_.slotCount(); ++i) {
        if (matrix_.slot(i).state == ModulationMatrix::kStateInactive) return i;
    }
    return -1;
}

float InternalController::getSlotLevel(int slot) const {
    return matrix_.target(matrix_.slot(slot).levelTarget).base;
}

void InternalController::findSlotsBySourceRange(int first, int count, std::vector<int>& out) const {
    for (int i = 0; i < matrix_.slotCount(); ++i) {
        const int s = matrix_.slot(i).source;
        if (s >= first && s < first + count) out.push_back(i);
    }
}

void InternalController::findSlotsBySource(int source, std::vector<int>& out) const {
    findSlotsBySourceRange(source, 1, out);
}

void InternalController::findSlotsForSourceKey(int key, int group, std::vector<int>& out) const {
    for (int i = 0; i < matrix_.slotCount(); ++i) {
        const ModulationMatrix::Slot& slot = matrix_.slot(i);
        if (slot.target < 0 || slot.source < 0) continue;
        if (key != -1 && matrix_.source(slot.source).key != key) continue;
        if (group != -1 && matrix_.target(slot.target).group != group) continue;
        out.push_back(i);
    }
}

void InternalController::findSlotsByTargets(const std::vector<int>& targets,
                                            std::vector<int>& out) const {
    for (int i = 0; i < matrix_.slotCount(); ++i) {
        const int t = matrix_.slot(i).target;
        if (t >= 0 && std::find(targets.begin(), targets.end(), t) != targets.end()) {
            out.push_back(i);
        }
    }
}

void InternalController::findSlotsByTargetRange(int first, int count, std::vector<int>& out) const {
    for (int i = 0; i < matrix_.slotCount(); ++i) {
        const int t = matrix_.slot(i).target;
        if (t >= first && t < first + count) out.push_back(i);
    }
}

void InternalController::findSlotsByTarget(int target, std::vector<int>& out) const {
    findSlotsByTargetRange(target, 1, out);
}
