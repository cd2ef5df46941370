#include "framework/UndoHistory.h"

#include <algorithm>

#include "framework/CompareStates.h"
#include "wave/Assert.h"

GenericPlugin::UndoHistory::UndoHistory(GenericPlugin& plugin, int depth)
    : plugin_(plugin), states_(plugin, depth) {
    VORN_ASSERT(depth > 0);
}

void GenericPlugin::UndoHistory::recordInitial() {
    if (position_ != 0 || undoCount_ != 0 || redoCount_ != 0) return;
    states_.capture(position_, kInitialDescription, plugin_.compareStates().slot());
}

void GenericPlugin::UndoHistory::record(const std::string& description) {
    const int depth = states_.size();
    position_ = (position_ + 1) % depth;
    states_.capture(position_, description, plugin_.compareStates().slot());
    redoCount_ = 0;
    undoCount_ = std::min(undoCount_ + 1, depth - 1);
}

void GenericPlugin::UndoHistory::recordEdit() {
    record("");
    plugin_.compareStates().setDiffers(true);
}

void GenericPlugin::UndoHistory::step(int delta) {
    const int depth = states_.size();
    position_ = ((position_ + delta) % depth + depth) % depth;
    CompareStates& compare = plugin_.compareStates();
    compare.switchTo(states_[position_].snapshot.pluginValue);
    states_.restore(position_);
    compare.setDiffers(true);
}

bool GenericPlugin::UndoHistory::undo() {
    if (undoCount_ <= 0) return false;
    step(-1);
    --undoCount_;
    redoCount_ = std::min(redoCount_ + 1, states_.size());
    return true;
}

bool GenericPlugin::UndoHistory::redo() {
    if (redoCount_ <= 0) return false;
    step(+1);
    undoCount_ = std::min(undoCount_ + 1, states_.size() - 1);
    --redoCount_;
    return true;
}
