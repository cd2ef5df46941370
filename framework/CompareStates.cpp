#include "framework/CompareStates.h"

#include "framework/UndoHistory.h"
#include "wave/Assert.h"

GenericPlugin::CompareStates::CompareStates(GenericPlugin& plugin)
    : plugin_(plugin), states_(plugin, kSlotCount) {}

void GenericPlugin::CompareStates::initialize() {
    if (initialized_) return;
    states_.capture(slot_, "", slot_);
    copyToOther();
    initialized_ = true;
}

void GenericPlugin::CompareStates::switchTo(int index) {
    VORN_ASSERT(index >= 0 && index < kSlotCount);
    if (index == slot_) return;
    states_.capture(slot_, "", slot_);
    slot_ = index;
}

void GenericPlugin::CompareStates::copyToOther() {
    states_.capture((slot_ + 1) % kSlotCount, "", slot_);
    differs_ = false;
}

void GenericPlugin::CompareStates::toggle() {
    switchTo((slot_ + 1) % kSlotCount);
    states_.restore(slot_);
    plugin_.undoHistory().record("");
}
