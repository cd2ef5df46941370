#pragma once

#include <string>

#include "framework/GenericPlugin.h"
#include "framework/StateList.h"

// A ring of whole sound states: the entry at `position` is the current state, up to depth - 1
// earlier (or, after undo, later) ones around it.
class GenericPlugin::UndoHistory {
public:
    static constexpr const char* kInitialDescription = "Initial state";

    UndoHistory(GenericPlugin& plugin, int depth);

    // Only while nothing was ever recorded: the current entry becomes the initial state.
    void recordInitial();
    // The state after a completed action; discards the redo steps.
    void record(const std::string& description);
    // What the editor calls after each completed user action: an undescribed step that also
    // marks the compare slots as differing.
    void recordEdit();
    // Moves by delta entries, switches the compare slot to the one stored there and restores it.
    void step(int delta);
    bool undo();
    bool redo();

    bool canUndo() const { return undoCount_ > 0; }
    bool canRedo() const { return redoCount_ > 0; }
    int undoCount() const { return undoCount_; }
    int redoCount() const { return redoCount_; }
    int position() const { return position_; }
    const StateList& states() const { return states_; }

private:
    int redoCount_ = 0;
    int undoCount_ = 0;
    int position_ = 0;
    GenericPlugin& plugin_;
    StateList states_;
};
