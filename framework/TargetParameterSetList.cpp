#include "framework/TargetParameterSetList.h"

#include <algorithm>
#include <functional>

std::vector<int> deleteModulationSlots(ModulationController& controller, std::vector<int> slots) {
    const int firstLevel = controller.firstLevelTarget();
    std::vector<int> deleted;
    while (!slots.empty()) {
        const int s = slots.back();
        slots.pop_back();
        if (std::find(deleted.begin(), deleted.end(), s) != deleted.end()) continue;
        deleted.push_back(s);
        if (firstLevel >= 0) controller.findSlotsByTarget(firstLevel + s, slots);
    }
    std::sort(deleted.begin(), deleted.end(), std::greater<int>());
    for (int slot : deleted) {
        controller.setSlotSource(slot, -1);
        controller.setSlotTarget(slot, -1);
        controller.setInverted(slot, false);
        controller.setBypassed(slot, false);
        controller.setSlotLevel(slot, 0.0f);
    }
    return deleted;
}

void shiftSlotTargets(ModulationController& controller, int first, int count, int delta) {
    if (count <= 0) return;
    std::vector<int> slots;
    controller.findSlotsByTargetRange(first, count, slots);
    for (int slot : slots) controller.setSlotTarget(slot, controller.getSlotTarget(slot) + delta);
}

void shiftSlotSources(ModulationController& controller, int first, int count, int delta) {
    if (count <= 0) return;
    std::vector<int> slots;
    controller.findSlotsBySourceRange(first, count, slots);
    for (int slot : slots) controller.setSlotSource(slot, controller.getSlotSource(slot) + delta);
}
