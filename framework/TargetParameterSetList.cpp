#include "framework/TargetParameterSetList.h"

#include <algorithm>
#include <functional>

void deleteModulationSlots(ModulationMatrix::Controller& controller, std::vector<int> slots) {
    std::sort(slots.begin(), slots.end(), std::greater<int>());
    slots.erase(std::unique(slots.begin(), slots.end()), slots.end());
    for (int slot : slots) {
        controller.setSlotSource(slot, -1);
        controller.setSlotTarget(slot, -1);
        controller.setInverted(slot, false);
        controller.setBypassed(slot, false);
        controller.setSlotLevel(slot, 0.0f);
    }
}

void shiftSlotTargets(ModulationMatrix::Controller& controller, int first, int count, int delta) {
    if (count <= 0) return;
    std::vector<int> slots;
    controller.findSlotsByTargetRange(first, count, slots);
    for (int slot : slots) controller.setSlotTarget(slot, controller.getSlotTarget(slot) + delta);
}

void shiftSlotSources(ModulationMatrix::Controller& controller, int first, int count, int delta) {
    if (count <= 0) return;
    std::vector<int> slots;
    controller.findSlotsBySourceRange(first, count, slots);
    for (int slot : slots) controller.setSlotSource(slot, controller.getSlotSource(slot) + delta);
}
