#pragma once

#include <string>

#include "gui/Palette.h"
#include "gui/ValueControl.h"

namespace gui {

// A value shown as text in a box, changed by dragging up and down or with the wheel; a double
// click puts the default back.
class IntValueButton : public RolloverValueControl {
public:
    struct Style {
        Font font = palette::kNormal;
        Colour text = palette::kText;
        Align align = Align::Centre;
    };
    // Shows minimum + value unless a formatter says otherwise.
    void setRange(int32_t minimum, int32_t maximum);
    int32_t shownValue() const { return minimum_ + value(); }
    void setStyle(const Style& s);

    void paint(Graphics& g) override;
    bool mouseDown(const MouseEvent& e) override;
    bool mouseDoubleClick(const MouseEvent& e) override;
    void mouseDrag(const MouseEvent& e) override;
    void mouseUp(const MouseEvent& e) override;

protected:
    virtual std::string text() const;
    // Drag axis: vertical for value buttons, horizontal for level buttons.
    virtual float dragDelta(Point from, Point to) const { return float(from.y - to.y); }
    const Style& style() const { return style_; }

private:
    Style style_;
    int32_t minimum_ = 0;
    Point last_;
};

// The same over a continuous range, shown with a number of decimals and a unit.
class FloatValueButton : public IntValueButton {
public:
    void setFloatRange(float minimum, float maximum, int32_t steps, int decimals,
                       std::string unit = {});
    float floatValue() const;

protected:
    std::string text() const override;

private:
    float minimum_ = 0, maximum_ = 1;
    int decimals_ = 2;
    std::string unit_;
};

// A horizontal bar filled to the value, with the caption or value over it; dragged sideways.
class LevelButton : public IntValueButton {
public:
    void paint(Graphics& g) override;

protected:
    float dragDelta(Point from, Point to) const override { return float(to.x - from.x); }
};

}  // namespace gui
