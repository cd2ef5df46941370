#pragma once

#include <array>
#include <functional>

#include "framework/SynthNumbering.h"
#include "gui/Component.h"
#include "gui/ValueControl.h"

class GenericPluginInterface;

// Knows which targets the active slots of the matrix point at, from the slots' parameters, and
// tells the indicators when that changes. Hidden: it only watches.
class ModulationIndicatorManager : public gui::Component {
public:
    explicit ModulationIndicatorManager(GenericPluginInterface& editor);
    // True when an active slot is aimed at a target in [first, first + count).
    bool modulated(int first, int count) const;
    // The slots of those targets, lowest first (for highlighting the ones responsible).
    std::vector<int> slotsOf(int first, int count) const;
    // Called after any slot's target or the active count changed.
    std::function<void()> onChange;

private:
    class Watch;
    gui::ValueControl* active_ = nullptr;
    std::array<gui::ValueControl*, synth::kSlots> targets_{};
};

// A target shown by a control: a small mark on the control while a slot modulates it.
struct ModulationIndicator {
    static void paint(gui::Graphics& g, const gui::Rect& control);
};
