#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class MidiControllerMap;

// What MIDI learn has selected: a learnable control of the editor (or one of its invisible ghost
// areas), the parameter the next controller will drive, and the line the learn overlay shows.
class MidiLearnSelection {
public:
    static constexpr int kNone = -1;
    static constexpr int32_t kNoParameter = -1;
    static constexpr std::string_view kIdleLabel =
        "Click a control to activate it for MIDI Learn mode";
    static constexpr std::string_view kTargetLabel =
        "Move a slider/knob on your MIDI controller to associate it to: ";

    MidiLearnSelection();

    // Selects control `index` (kNone or below: nothing) of the ghost or the normal controls, which
    // drives parameter `parameterId` named `name`. Returns false when that exact control was
    // selected already, so the overlay need not be redrawn.
    bool selectLearnTarget(int index, bool ghost, int32_t parameterId, std::string_view name);
    // Unmaps the controller of the selected parameter and selects nothing.
    void clearSelected(MidiControllerMap& map);

    int index() const { return index_; }
    bool isGhost() const { return ghost_; }
    // The id to hand to the channel receiver's setLearnParameter.
    int32_t learnParameter() const { return parameterId_; }
    const std::string& label() const { return label_; }

private:
    int index_ = kNone;
    bool ghost_ = false;
    int32_t parameterId_ = kNoParameter;
    std::string label_;
};
