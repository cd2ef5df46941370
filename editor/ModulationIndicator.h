#pragma once

#include <vector>

#include "gui/Graphics.h"

class SourceSlotController;

// Knows which targets the active slots point at, for the indicators on modulated controls.
class ModulationIndicatorManager {
public:
    explicit ModulationIndicatorManager(const SourceSlotController& slots) : slots_(slots) {}
    // True when an active slot is aimed at a target in [first, first + count).
    bool modulated(int first, int count) const;
    // Those slots, lowest first (for highlighting the ones responsible).
    std::vector<int> slotsOf(int first, int count) const;

private:
    const SourceSlotController& slots_;
};

// The mark a modulated control shows in its top-right corner.
struct ModulationIndicator {
    static void paint(gui::Graphics& g, const gui::Rect& control);
};
