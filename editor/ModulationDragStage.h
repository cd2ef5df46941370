#pragma once

#include <memory>
#include <string>
#include <vector>

#include "gui/DragStage.h"

class ModulationMatrixPluginInterface;

// One drag of a modulation source over the editor: the target under the mouse is highlighted,
// and a drop on it connects the source to it in the next free slot.
class ModulationDragStage : public gui::DragStage, private gui::DragManager::Listener {
public:
    static constexpr const char* kHoverOnly =
        "You can only hover over this item, not drag a source to it. Instead, drag the source to "
        "a target knob to create a modulation connection.";
    enum class State { Dragging, Dropped, Finished };
    // A visible control whose parameter is a modulation target, in root coordinates.
    struct Candidate {
        gui::Rect area;
        int target;
    };

    // Covers the editor with the stage of a drag of `source` from `at` (root coordinates).
    static ModulationDragStage& begin(ModulationMatrixPluginInterface& editor, int source,
                                      gui::Point at);

    int source() const { return source_; }
    const std::vector<Candidate>& candidates() const { return candidates_; }
    int hovered() const { return hovered_; }
    gui::Point lastMouse() const { return mouse(); }
    // The slot the drop made, -1 until then or when it made none.
    int slotMade() const { return slot_; }
    State state() const { return state_; }

    ModulationDragStage(ModulationMatrixPluginInterface& editor, int source, gui::Point at);

private:
    void dragMoved(gui::DragStage&, gui::Point at) override;
    void dropped(gui::DragStage&, gui::Point at) override;
    void dragCancelled(gui::DragStage&) override { state_ = State::Finished; }
    void findCandidates();

    ModulationMatrixPluginInterface& editor_;
    int source_;
    std::vector<Candidate> candidates_;
    int hovered_ = -1;
    int slot_ = -1;
    State state_ = State::Dragging;
};
