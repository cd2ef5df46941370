#pragma once

#include <array>
#include <functional>
#include <string>

#include "framework/SynthNumbering.h"
#include "gui/Component.h"
#include "gui/ValueControl.h"

class GenericPluginInterface;

// The editor's hold on the matrix slots: hidden controls bound to "Num Active Slots" and to each
// slot's source and target, so that the modulation views read them and a new connection is made
// with ordinary edits (automated, undone as one step).
class SourceSlotController : public gui::Component {
public:
    static constexpr const char* kNoFreeSlots =
        "No free slots are available. Clear one or more slots and try again.";

    explicit SourceSlotController(GenericPluginInterface& editor);

    int activeSlots() const { return active_->value(); }
    // Source and target numbers of a slot, -1 where unset.
    int source(int slot) const { return sources_[static_cast<size_t>(slot)]->value() - 1; }
    int target(int slot) const { return targets_[static_cast<size_t>(slot)]->value() - 1; }
    // Takes the slot at the active count for source -> target and raises the count, as one
    // action. The slot index, or -1 when every slot is in use.
    int connect(int source, int target);
    // Orders the active slots by source, then target, each slot keeping its level, inversion
    // and bypass; one action.
    void sort();
    // The slot the last connection took, -1 before any.
    int lastConnected() const { return last_; }
    // Called after a slot's source or target or the active count changed.
    std::function<void()> onChange;

private:
    GenericPluginInterface& editor_;
    int last_ = -1;
    gui::ValueControl* active_ = nullptr;
    std::array<gui::ValueControl*, synth::kSlots> sources_{};
    std::array<gui::ValueControl*, synth::kSlots> targets_{};
    // Level, bypass and inversion, which a sort carries along.
    std::array<std::array<gui::ValueControl*, 3>, synth::kSlots> others_{};
};
