#pragma once

#include <array>
#include <utility>
#include <vector>

#include "framework/SynthNumbering.h"

class AbstractPluginParameter;
class ModulationMatrixPluginInterface;
namespace gui {
class Knob;
class ValueControl;
}  // namespace gui

// The depth of the modulation on every knob whose parameter is a target: a ring that shows the
// range the slots sweep, and a function-4 drag on the knob that sets the depth of the slot
// selected in the modulation section, else of the connection made last, else of the first slot
// that drives it.
class DepthRings {
public:
    explicit DepthRings(ModulationMatrixPluginInterface& editor);
    // At every idle call: the rings follow the slots, their levels and their inversion.
    void refresh();
    // The slot a depth drag on a target's knob changes; -1 when none drives it.
    int slotFor(int target) const;

private:
    void findKnobs();

    ModulationMatrixPluginInterface& editor_;
    std::vector<std::pair<gui::Knob*, int>> knobs_;  // with their targets
    bool found_ = false;
    std::array<AbstractPluginParameter*, synth::kSlots> levels_{};
    std::array<AbstractPluginParameter*, synth::kSlots> inverted_{};
};
