#include "gui/ValueButton.h"

#include <cstdio>

#include "gui/Modifiers.h"

namespace gui {

void IntValueButton::setRange(int32_t minimum, int32_t maximum) {
    minimum_ = minimum;
    setMaximum(maximum - minimum);
}

void IntValueButton::setStyle(const Style& s) {
    style_ = s;
    repaint();
}

std::string IntValueButton::text() const {
    return caption().empty() || showingValue() ? valueText() : caption();
}

void IntValueButton::paint(Graphics& g) {
    const Rect b = localBounds();
    g.fillRoundedRect(b, palette::kRadius,
                      hovered() ? palette::kTrack.brighter(0.06f) : palette::kTrack);
    if (editing()) g.strokeRoundedRect(b, palette::kRadius, 1.0f, palette::kAccent);
    const Colour c = enabled() ? style_.text : palette::kTextDisabled;
    g.text(text(), b.reduced(3), style_.font, c, style_.align);
}

bool IntValueButton::mouseDown(const MouseEvent& e) {
    if (!(e.modifiers & modifier::kLeftButton)) return false;
    dragPress(e);
    last_ = e.position;
    return true;
}

bool IntValueButton::mouseDoubleClick(const MouseEvent& e) {
    if (!(e.modifiers & modifier::kLeftButton)) return false;
    resetToDefault();
    last_ = e.position;
    mapper().press(e.position);
    return true;
}

void IntValueButton::mouseDrag(const MouseEvent& e) {
    const float delta = dragDelta(last_, e.position);
    last_ = e.position;
    dragBy(e, delta);
}

void IntValueButton::mouseUp(const MouseEvent&) {
    dragRelease();
}

void FloatValueButton::setFloatRange(float minimum, float maximum, int32_t steps, int decimals,
                                     std::string unit) {
    minimum_ = minimum;
    maximum_ = maximum;
    decimals_ = decimals;
    unit_ = std::move(unit);
    setRange(0, steps);
}

float FloatValueButton::floatValue() const {
    return minimum_ + (maximum_ - minimum_) * proportion();
}

std::string FloatValueButton::text() const {
    if (!caption().empty() && !showingValue()) return caption();
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals_, static_cast<double>(floatValue()));
    return unit_.empty() ? std::string(buffer) : std::string(buffer) + " " + unit_;
}

void LevelButton::paint(Graphics& g) {
    const Rect b = localBounds();
    g.fillRoundedRect(b, palette::kRadius, palette::kTrack);
    const int filled = static_cast<int>(b.width * proportion() + 0.5f);
    if (filled > 0) {
        g.save();
        g.clip({0, 0, filled, b.height});
        g.fillRoundedRect(b, palette::kRadius,
                          (enabled() ? palette::kAccent : palette::kBorder).withAlpha(0.55f));
        g.restore();
    }
    g.text(text(), b.reduced(3), style().font, enabled() ? style().text : palette::kTextDisabled,
           style().align);
}

}  // namespace gui
