#include "midi/MidiLearnSelection.h"

#include "midi/MidiControllerMap.h"

MidiLearnSelection::MidiLearnSelection() : label_(kIdleLabel) {}

bool MidiLearnSelection::selectLearnTarget(int index, bool ghost, int32_t parameterId,
                                           std::string_view name) {
    if (index < 0) {
        index = kNone;
        ghost = false;
    }
    if (index == index_ && ghost == ghost_) return false;
    index_ = index;
    ghost_ = ghost;
    if (index == kNone) {
        parameterId_ = kNoParameter;
        label_ = kIdleLabel;
    } else {
        parameterId_ = parameterId;
        label_ = std::string(kTargetLabel) + std::string(name);
    }
    return true;
}

void MidiLearnSelection::clearSelected(MidiControllerMap& map) {
    if (parameterId_ != kNoParameter) map.assign(MidiControllerMap::kNoController, parameterId_);
    selectLearnTarget(kNone, false, kNoParameter, {});
}
