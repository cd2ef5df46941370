#include "editor/ModulationIndicator.h"

#include "editor/SourceSlotController.h"
#include "gui/Palette.h"

std::vector<int> ModulationIndicatorManager::slotsOf(int first, int count) const {
    std::vector<int> slots;
    for (int i = 0; i < slots_.activeSlots(); ++i) {
        const int target = slots_.target(i);
        if (target >= first && target < first + count) slots.push_back(i);
    }
    return slots;
}

bool ModulationIndicatorManager::modulated(int first, int count) const {
    return !slotsOf(first, count).empty();
}

void ModulationIndicator::paint(gui::Graphics& g, const gui::Rect& control) {
    const float x = static_cast<float>(control.x + control.width) - 6.0f;
    const float y = static_cast<float>(control.y) + 6.0f;
    g.fillEllipse(x, y, 3.5f, gui::palette::kModulation);
}
