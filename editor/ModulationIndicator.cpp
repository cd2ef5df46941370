#include "editor/ModulationIndicator.h"

#include <string>

#include "editor/GenericPluginInterface.h"
#include "gui/Graphics.h"
#include "gui/Palette.h"

class ModulationIndicatorManager::Watch : public gui::ValueControl {
public:
    explicit Watch(ModulationIndicatorManager& owner) : owner_(owner) { setVisible(false); }

protected:
    void valueShown() override {
        if (owner_.onChange) owner_.onChange();
    }

private:
    ModulationIndicatorManager& owner_;
};

ModulationIndicatorManager::ModulationIndicatorManager(GenericPluginInterface& editor) {
    setVisible(false);
    active_ = &add<Watch>(*this);
    editor.bind(*active_, "Num Active Slots");
    for (int i = 0; i < synth::kSlots; ++i) {
        targets_[static_cast<size_t>(i)] = &add<Watch>(*this);
        editor.bind(*targets_[static_cast<size_t>(i)], "Slot " + std::to_string(i + 1) + " Target");
    }
}

std::vector<int> ModulationIndicatorManager::slotsOf(int first, int count) const {
    std::vector<int> slots;
    // A slot's target list starts with "< Target >": value v is target v - 1.
    for (int i = 0; i < active_->value() && i < synth::kSlots; ++i) {
        const int target = targets_[static_cast<size_t>(i)]->value() - 1;
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
