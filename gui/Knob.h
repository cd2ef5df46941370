#pragma once

#include <functional>
#include <limits>
#include <string>

#include "gui/Palette.h"
#include "gui/ValueControl.h"

namespace gui {

// A rotary control: drag up or right to raise it, wheel for steps, double click for the default.
// The caption below shows the value while the mouse is over the knob.
class Knob : public RolloverValueControl {
public:
    struct Style {
        Colour value = palette::kAccent;
        Colour track = palette::kTrack;
        Colour body = palette::kPanelRaised;
        bool bipolar = false;  // the arc grows from the top both ways
        int captionHeight = 14;
    };
    static constexpr float kStartAngle = 0.75f * 3.14159265f;  // seven o'clock
    static constexpr float kSweep = 1.5f * 3.14159265f;

    Knob() = default;
    explicit Knob(const Style& s) : style_(s) {}
    const Style& style() const { return style_; }
    void setStyle(const Style& s);
    // Set while a modulation source drives the knob: a ring segment of that depth (-1..1), one
    // way from the value or, for a bipolar source, both ways.
    void setModulation(float depth, bool bipolar = false);
    float modulation() const { return modulation_; }
    // Where the modulation has the value now, as an offset from the knob's value (-1..1); NaN
    // hides the mark (no voice sounds).
    void setModulationPosition(float offset);
    float modulationPosition() const { return position_; }
    // While set, a drag with modifier function 4 edits the control it returns (the depth of a
    // modulation slot) instead of the knob's own value.
    std::function<ValueControl*()> depthControl;
    // A function-4 click that moved nothing: show what modulates the knob.
    std::function<void()> onDepthClick;

    void paint(Graphics& g) override;
    bool mouseDown(const MouseEvent& e) override;
    bool mouseDoubleClick(const MouseEvent& e) override;
    void mouseDrag(const MouseEvent& e) override;
    void mouseUp(const MouseEvent& e) override;

    // The text shortened to fit a width, as the caption shows it.
    static std::string fitted(Graphics& g, std::string text, float width);

private:
    Style style_;
    float modulation_ = 0;
    bool modulationBipolar_ = false;
    float position_ = std::numeric_limits<float>::quiet_NaN();
    ValueControl* depthEdit_ = nullptr;  // the control a function-4 drag is changing
    Point last_;
};

}  // namespace gui
