#include "gui/Knob.h"

#include <algorithm>
#include <cmath>

#include "gui/Modifiers.h"

namespace gui {

void Knob::setStyle(const Style& s) {
    style_ = s;
    repaint();
}

void Knob::setModulation(float depth) {
    depth = std::clamp(depth, -1.0f, 1.0f);
    if (depth == modulation_) return;
    modulation_ = depth;
    repaint();
}

std::string Knob::fitted(Graphics& g, std::string text, float width) {
    // A value too wide for the knob loses its unit ("-0.993 semitones" shows "-0.993"), then
    // characters from the end.
    if (g.textWidth(text, palette::kSmall) <= width) return text;
    if (const size_t space = text.rfind(' '); space != std::string::npos && space > 0)
        text.resize(space);
    while (text.size() > 1 && g.textWidth(text, palette::kSmall) > width) {
        // A whole UTF-8 character at a time.
        while (text.size() > 1 && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80)
            text.pop_back();
        text.pop_back();
    }
    return text;
}

void Knob::paint(Graphics& g) {
    const Rect b = localBounds();
    const int captionHeight = caption().empty() && !showingValue() ? 0 : style_.captionHeight;
    const float size = static_cast<float>(std::min(b.width, b.height - captionHeight));
    const float cx = b.width / 2.0f, cy = size / 2.0f;
    const float ring = size / 2.0f - 2.5f, stroke = std::max(2.0f, size / 12.0f);
    const float p = proportion(), a = kStartAngle + p * kSweep;
    const float from = style_.bipolar ? kStartAngle + kSweep / 2 : kStartAngle;
    const Colour value = enabled() ? style_.value : palette::kTextDisabled;

    g.arc(cx, cy, ring, kStartAngle, kStartAngle + kSweep, stroke, style_.track);
    g.arc(cx, cy, ring, std::min(from, a), std::max(from, a), stroke, value);
    if (modulation_ != 0) {
        const float m = std::clamp(a + modulation_ * kSweep, kStartAngle, kStartAngle + kSweep);
        g.arc(cx, cy, ring - stroke - 1, std::min(a, m), std::max(a, m), stroke * 0.6f,
              palette::kModulation);
    }
    const float body = ring - stroke - 2.5f;
    g.fillEllipse(cx, cy, body, hovered() ? style_.body.brighter(0.08f) : style_.body);
    g.line(cx + std::cos(a) * body * 0.35f, cy + std::sin(a) * body * 0.35f,
           cx + std::cos(a) * body, cy + std::sin(a) * body, std::max(1.5f, size / 20.0f),
           enabled() ? palette::kText : palette::kTextDisabled);
    if (captionHeight > 0) {
        const Colour c = showingValue() ? palette::kText : palette::kTextDim;
        g.text(fitted(g, shownText(), static_cast<float>(b.width)),
               {0, b.height - captionHeight, b.width, captionHeight}, palette::kSmall, c);
    }
}

bool Knob::mouseDown(const MouseEvent& e) {
    if (!(e.modifiers & modifier::kLeftButton)) return false;
    dragPress(e);
    last_ = e.position;
    return true;
}

bool Knob::mouseDoubleClick(const MouseEvent& e) {
    if (!(e.modifiers & modifier::kLeftButton)) return false;
    resetToDefault();
    last_ = e.position;
    mapper().press(e.position);
    return true;
}

void Knob::mouseDrag(const MouseEvent& e) {
    // Up and right both raise the value, whichever the hand moves more.
    const float delta = static_cast<float>((e.position.x - last_.x) + (last_.y - e.position.y));
    last_ = e.position;
    dragBy(e, delta);
}

void Knob::mouseUp(const MouseEvent&) {
    dragRelease();
}

}  // namespace gui
