#pragma once

#include <functional>
#include <string>

#include "gui/Component.h"
#include "gui/Palette.h"
#include "gui/ValueControl.h"

class GenericPluginInterface;

// A square area with a dot: the dot's place is two parameters, horizontal and vertical. A press
// puts the dot under the mouse and a drag moves it; the gesture edits both parameters as one
// action. A double click centres the dot.
class XyPad : public gui::Control {
public:
    XyPad(GenericPluginInterface& editor, const std::string& horizontal,
          const std::string& vertical, gui::Colour accent);

    // The controls bound to the two parameters (kept hidden; the pad draws them).
    gui::ValueControl& horizontal() { return *axes_[0]; }
    gui::ValueControl& vertical() { return *axes_[1]; }

    // Asked when painting: a pad beyond the number in use still moves, but is drawn faded.
    void setInUse(std::function<bool()> inUse) { inUse_ = std::move(inUse); }

    void paint(gui::Graphics& g) override;
    bool mouseDown(const gui::MouseEvent& e) override;
    void mouseDrag(const gui::MouseEvent& e) override;
    void mouseUp(const gui::MouseEvent& e) override;
    bool mouseDoubleClick(const gui::MouseEvent& e) override;

private:
    class Axis;
    // The pad's inner area, where the dot may go.
    gui::Rect area() const;
    void moveTo(gui::Point p);
    void setValues(int32_t horizontal, int32_t vertical);
    void endGesture();

    GenericPluginInterface& editor_;
    gui::Colour accent_;
    gui::ValueControl* axes_[2];
    bool dragging_ = false;
    bool editing_ = false;
    std::function<bool()> inUse_;
};
