#pragma once

#include <vector>

#include "modulation/ModulationMatrix.h"

// Slot edits shared by every controller, so that the engine and the parameters reorder and
// delete the same way. levelTargetOf maps a slot to its own level target.
struct ModulationSlotEdits {
    explicit ModulationSlotEdits(ModulationMatrix::Controller& c, int firstLevelTarget = 107)
        : controller(c), firstLevel(firstLevelTarget) {}

    // Clears the slot and, in a cascade, every slot aimed at its level; returns the cleared ones.
    std::vector<int> deleteSlot(int slot);
    std::vector<int> deleteSlotsByTarget(int target);
    // listedTargets: the targets of the source's own list entry.
    std::vector<int> deleteSlotsBySource(int source, const std::vector<int>& listedTargets);
    void swap(int i, int j);
    // Used slots by source, then target; empty ones last. current follows its slot.
    void sort(int slotCount, int* current = nullptr);
    void compact(int slotCount);

    ModulationMatrix::Controller& controller;
    int firstLevel;

private:
    bool isEmpty(int slot) const;
    void clear(int slot);
};
