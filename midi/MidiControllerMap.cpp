#include "midi/MidiControllerMap.h"

MidiControllerMap::MidiControllerMap() {
    clear();
}

void MidiControllerMap::assign(int controller, int32_t parameterId) {
    const bool valid = controller >= 0 && controller < kControllers;
    if (!valid && controller != kNoController) return;
    if (valid && ids_[controller].load(std::memory_order_relaxed) == parameterId) return;
    for (auto& id : ids_) {
        if (id.load(std::memory_order_relaxed) == parameterId) {
            id.store(kUnmapped, std::memory_order_relaxed);
            break;
        }
    }
    if (valid) ids_[controller].store(parameterId, std::memory_order_relaxed);
}

int32_t MidiControllerMap::parameterFor(int controller) const {
    if (controller < 0 || controller >= kControllers) return kUnmapped;
    return ids_[controller].load(std::memory_order_relaxed);
}

void MidiControllerMap::clear() {
    for (auto& id : ids_) id.store(kUnmapped, std::memory_order_relaxed);
}
