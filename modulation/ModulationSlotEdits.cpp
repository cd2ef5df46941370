#include "modulation/ModulationSlotEdits.h"

#include <algorithm>
#include <utility>

bool ModulationSlotEdits::isEmpty(int slot) const {
    return controller.getSlotSource(slot) < 0 && controller.getSlotTarget(slot) < 0;
}

void ModulationSlotEdits::clear(int slot) {
    controller.setSlotSource(slot, -1);
    controller.setSlotTarget(slot, -1);
    controller.setInverted(slot, false);
    controller.setBypassed(slot, false);
    controller.setSlotLevel(slot, 0.0f);
}

std::vector<int> ModulationSlotEdits::deleteSlot(int slot) {
    std::vector<int> deleted;
    std::vector<int> work{slot};
    controller.beginEdit();
    while (!work.empty()) {
        const int s = work.back();
        work.pop_back();
        if (std::find(deleted.begin(), deleted.end(), s) != deleted.end()) continue;
        deleted.push_back(s);
        clear(s);
        controller.findSlotsByTarget(firstLevel + s, work);
    }
    controller.endEdit();
    return deleted;
}

std::vector<int> ModulationSlotEdits::deleteSlotsByTarget(int target) {
    std::vector<int> found;
    controller.findSlotsByTarget(target, found);
    std::vector<int> deleted;
    controller.beginEdit();
    for (int s : found) {
        if (std::find(deleted.begin(), deleted.end(), s) != deleted.end()) continue;
        for (int d : deleteSlot(s)) deleted.push_back(d);
    }
    controller.endEdit();
    return deleted;
}

std::vector<int> ModulationSlotEdits::deleteSlotsBySource(int source,
                                                          const std::vector<int>& listedTargets) {
    std::vector<int> found;
    controller.findSlotsBySource(source, found);
    std::vector<int> deleted;
    controller.beginEdit();
    for (int s : found) {
        if (std::find(deleted.begin(), deleted.end(), s) != deleted.end()) continue;
        for (int d : deleteSlot(s)) deleted.push_back(d);
    }
    for (int t : listedTargets) {
        for (int d : deleteSlotsByTarget(t)) deleted.push_back(d);
    }
    controller.endEdit();
    return deleted;
}

void ModulationSlotEdits::swap(int i, int j) {
    if (i == j) return;
    controller.beginEdit();
    const int si = controller.getSlotSource(i);
    const int ti = controller.getSlotTarget(i);
    const bool bi = controller.isBypassed(i);
    const bool vi = controller.isInverted(i);
    const float li = controller.getSlotLevel(i);
    controller.setSlotSource(i, controller.getSlotSource(j));
    controller.setSlotTarget(i, controller.getSlotTarget(j));
    controller.setBypassed(i, controller.isBypassed(j));
    controller.setInverted(i, controller.isInverted(j));
    controller.setSlotLevel(i, controller.getSlotLevel(j));
    controller.setSlotSource(j, si);
    controller.setSlotTarget(j, ti);
    controller.setBypassed(j, bi);
    controller.setInverted(j, vi);
    controller.setSlotLevel(j, li);
    // Slots that modulated the level of i now modulate the level of j, and vice versa.
    std::vector<int> atI;
    std::vector<int> atJ;
    controller.findSlotsByTarget(firstLevel + i, atI);
    controller.findSlotsByTarget(firstLevel + j, atJ);
    for (int s : atI) controller.setSlotTarget(s, firstLevel + j);
    for (int s : atJ) controller.setSlotTarget(s, firstLevel + i);
    controller.endEdit();
}

void ModulationSlotEdits::sort(int slotCount, int* current) {
    // Empty slots sort after every used one.
    const auto key = [this](int s) {
        return isEmpty(s) ? std::pair{1 << 30, 1 << 30}
                          : std::pair{controller.getSlotSource(s), controller.getSlotTarget(s)};
    };
    bool editing = false;
    for (int i = 1; i < slotCount; ++i) {
        for (int j = i; j > 0 && key(j) < key(j - 1); --j) {
            if (!editing) {
                controller.beginEdit();
                editing = true;
            }
            swap(j, j - 1);
            if (current && *current == j) {
                *current = j - 1;
            } else if (current && *current == j - 1) {
                *current = j;
            }
        }
    }
    if (editing) controller.endEdit();
}

void ModulationSlotEdits::compact(int slotCount) {
    for (;;) {
        int empty = 0;
        while (empty < slotCount && !isEmpty(empty)) ++empty;
        int used = empty + 1;
        while (used < slotCount && isEmpty(used)) ++used;
        if (used >= slotCount) return;
        swap(empty, used);
    }
}
