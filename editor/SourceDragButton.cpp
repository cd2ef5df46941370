#include "editor/SourceDragButton.h"

#include <cstdlib>

#include "editor/ModulationDragStage.h"
#include "editor/ModulationMatrixPluginInterface.h"
#include "engine/ModulationNames.h"
#include "gui/Graphics.h"
#include "gui/Modifiers.h"
#include "gui/Palette.h"

SourceDragButton::SourceDragButton(ModulationMatrixPluginInterface& editor, int source)
    : gui::Button(modulationSourceNames()[static_cast<size_t>(source)]),
      editor_(editor),
      source_(source) {}

void SourceDragButton::setMarked(bool marked) {
    if (marked == marked_) return;
    marked_ = marked;
    repaint();
}

void SourceDragButton::paint(gui::Graphics& g) {
    gui::Button::paint(g);
    if (marked_)
        g.strokeRoundedRect(localBounds(), gui::palette::kRadius, 2.0f, gui::palette::kModulation);
}

bool SourceDragButton::mouseDown(const gui::MouseEvent& e) {
    if (!(e.modifiers & gui::modifier::kLeftButton)) return false;
    press_ = e.position;
    pressed_ = true;
    dragging_ = false;
    return gui::Button::mouseDown(e);
}

void SourceDragButton::mouseDrag(const gui::MouseEvent& e) {
    if (!pressed_ || dragging_) return;
    constexpr int kStart = gui::ValueDragMapper::kClickDistance;
    if (std::abs(e.position.x - press_.x) < kStart && std::abs(e.position.y - press_.y) < kStart)
        return;
    dragging_ = true;
    ModulationDragStage::begin(editor_, source_, toRoot(e.position));
}

void SourceDragButton::mouseUp(const gui::MouseEvent& e) {
    pressed_ = false;
    if (dragging_) {
        // The drop was handled by the stage; the release only ends the press.
        dragging_ = false;
        gui::Button::mouseUp(e.at({-1, -1}));
        return;
    }
    gui::Button::mouseUp(e);
}
