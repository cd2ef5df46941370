#pragma once

#include "framework/GenericPlugin.h"
#include "framework/StateList.h"

// The two compare slots A (0) and B (1).
class GenericPlugin::CompareStates {
public:
    static constexpr int kSlotCount = 2;

    explicit CompareStates(GenericPlugin& plugin);

    // Once: both slots start as the current state.
    void initialize();
    // Saves the current state into the slot being left; restores nothing.
    void switchTo(int index);
    // The current state into the other slot; clears `differs`.
    void copyToOther();
    // Switches to the other slot, restores it and records the switch as an undo step.
    void toggle();

    int slot() const { return slot_; }
    bool differs() const { return differs_; }
    void setDiffers(bool differs) { differs_ = differs; }
    bool isInitialized() const { return initialized_; }
    const StateList& states() const { return states_; }

private:
    int slot_ = 0;
    bool differs_ = false;
    bool initialized_ = false;
    GenericPlugin& plugin_;
    StateList states_;
};
