#include "editor/SourceSlotController.h"

#include <algorithm>
#include <vector>

#include "editor/GenericPluginInterface.h"
#include "editor/WatchControl.h"

SourceSlotController::SourceSlotController(GenericPluginInterface& editor) : editor_(editor) {
    setVisible(false);
    const auto changed = [this] {
        if (onChange) onChange();
    };
    active_ = &add<WatchControl>(changed);
    editor.bind(*active_, "Num Active Slots");
    // Each list starts with "< Source >" or "< Target >": value v is number v - 1.
    for (size_t i = 0; i < synth::kSlots; ++i) {
        const std::string slot = "Slot " + std::to_string(i + 1);
        sources_[i] = &add<WatchControl>(changed);
        editor.bind(*sources_[i], slot + " Source");
        targets_[i] = &add<WatchControl>(changed);
        editor.bind(*targets_[i], slot + " Target");
        const char* fields[3] = {" Level", " Bypassed", " Inverted"};
        for (size_t f = 0; f < 3; ++f) {
            others_[i][f] = &add<WatchControl>(changed);
            editor.bind(*others_[i][f], slot + fields[f]);
        }
    }
}

namespace {

void set(gui::ValueControl& c, int value) {
    if (c.value() != value) c.editTo(value);
}

}  // namespace

void SourceSlotController::sort() {
    // Each slot as its five values; unused sources go last.
    using Row = std::array<int, 5>;
    std::vector<Row> rows;
    for (size_t i = 0; i < static_cast<size_t>(activeSlots()); ++i)
        rows.push_back({sources_[i]->value(), targets_[i]->value(), others_[i][0]->value(),
                        others_[i][1]->value(), others_[i][2]->value()});
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        const int sa = a[0] == 0 ? 1 << 30 : a[0], sb = b[0] == 0 ? 1 << 30 : b[0];
        return sa != sb ? sa < sb : a[1] < b[1];
    });
    editor_.beginActionGroup();
    for (size_t i = 0; i < rows.size(); ++i) {
        set(*sources_[i], rows[i][0]);
        set(*targets_[i], rows[i][1]);
        for (size_t f = 0; f < 3; ++f) set(*others_[i][f], rows[i][f + 2]);
    }
    editor_.endActionGroup();
}

int SourceSlotController::connect(int source, int target) {
    const int slot = activeSlots();
    if (slot >= synth::kSlots) return -1;
    editor_.beginActionGroup();
    set(*sources_[static_cast<size_t>(slot)], source + 1);
    set(*targets_[static_cast<size_t>(slot)], target + 1);
    set(*active_, slot + 1);
    editor_.endActionGroup();
    last_ = slot;
    return slot;
}
