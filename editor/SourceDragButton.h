#pragma once

#include "gui/Button.h"

class ModulationMatrixPluginInterface;

// A modulation source's handle: dragged 5 pixels or more, it starts a modulation drag over the
// editor; a shorter press is a click.
class SourceDragButton : public gui::Button {
public:
    SourceDragButton(ModulationMatrixPluginInterface& editor, int source);
    int source() const { return source_; }
    bool dragging() const { return dragging_; }
    // Framed while it drives something the musician asked about.
    void setMarked(bool marked);
    bool marked() const { return marked_; }
    void paint(gui::Graphics& g) override;

    bool mouseDown(const gui::MouseEvent& e) override;
    void mouseDrag(const gui::MouseEvent& e) override;
    void mouseUp(const gui::MouseEvent& e) override;

private:
    ModulationMatrixPluginInterface& editor_;
    int source_;
    gui::Point press_;
    bool pressed_ = false;
    bool dragging_ = false;
    bool marked_ = false;
};
