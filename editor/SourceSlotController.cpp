#include "editor/SourceSlotController.h"

#include "editor/GenericPluginInterface.h"

class SourceSlotController::Watch : public gui::ValueControl {
public:
    explicit Watch(SourceSlotController& owner) : owner_(owner) { setVisible(false); }

protected:
    void valueShown() override {
        if (owner_.onChange) owner_.onChange();
    }

private:
    SourceSlotController& owner_;
};

SourceSlotController::SourceSlotController(GenericPluginInterface& editor) : editor_(editor) {
    setVisible(false);
    active_ = &add<Watch>(*this);
    editor.bind(*active_, "Num Active Slots");
    // Each list starts with "< Source >" or "< Target >": value v is number v - 1.
    for (size_t i = 0; i < synth::kSlots; ++i) {
        const std::string slot = "Slot " + std::to_string(i + 1);
        sources_[i] = &add<Watch>(*this);
        editor.bind(*sources_[i], slot + " Source");
        targets_[i] = &add<Watch>(*this);
        editor.bind(*targets_[i], slot + " Target");
    }
}

int SourceSlotController::connect(int source, int target) {
    const int slot = activeSlots();
    if (slot >= synth::kSlots) return -1;
    auto set = [](gui::ValueControl& c, int value) {
        c.beginEdit();
        c.changeTo(value);
        c.endEdit();
    };
    editor_.beginActionGroup();
    set(*sources_[static_cast<size_t>(slot)], source + 1);
    set(*targets_[static_cast<size_t>(slot)], target + 1);
    set(*active_, slot + 1);
    editor_.endActionGroup();
    last_ = slot;
    return slot;
}
