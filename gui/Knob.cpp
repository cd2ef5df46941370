#include "gui/Knob.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "gui/Modifiers.h"

namespace gui {

void Knob::setStyle(const Style& s) {
    style_ = s;
    repaint();
}

void Knob::setModulation(float depth, bool bipolar) {
    depth = std::clamp(depth, -1.0f, 1.0f);
    if (depth == modulation_ && bipolar == modulationBipolar_) return;
    modulation_ = depth;
    modulationBipolar_ = bipolar;
    repaint();
}

void Knob::setModulationPosition(float offset) {
    // Steps finer than a pixel of the ring would redraw for nothing.
    constexpr float kStep = 1.0f / 256;
    const float quantized = std::round(std::clamp(offset, -1.0f, 1.0f) / kStep) * kStep;
    if (quantized == position_ || (std::isnan(offset) && std::isnan(position_))) return;
    position_ = std::isnan(offset) ? offset : quantized;
    if (modulation_ != 0) repaint();
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
    std::pair<float, float> mark{0, 0};  // the live position's angle and radius
    if (modulation_ != 0) {
        const auto at = [&](float d) {
            return std::clamp(a + d * kSweep, kStartAngle, kStartAngle + kSweep);
        };
        const float m = at(modulation_), n = modulationBipolar_ ? at(-modulation_) : a;
        // Lighter than any accent, so that it stands apart on every section's knobs.
        const float inner = ring - stroke - 1;
        g.arc(cx, cy, inner, std::min(n, m), std::max(n, m), stroke * 0.7f,
              palette::kModulation.brighter(0.45f));
        if (!std::isnan(position_)) mark = {at(position_), inner};
    }
    const float body = ring - stroke - 2.5f;
    g.fillEllipse(cx, cy, body, hovered() ? style_.body.brighter(0.08f) : style_.body);
    if (mark.second > 0) {
        // A light dot in a dark rim reads on the ring and on the body alike.
        const float x = cx + std::cos(mark.first) * mark.second;
        const float y = cy + std::sin(mark.first) * mark.second;
        g.fillEllipse(x, y, stroke * 0.8f + 1, style_.body);
        g.fillEllipse(x, y, stroke * 0.8f, palette::kText);
    }
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
    depthEdit_ = nullptr;
    if (depthControl && (ModifierTable::functionsOf(e.modifiers) & function::kThird))
        depthEdit_ = depthControl();
    if (depthEdit_)
        depthEdit_->mapper().press(e.position);
    else
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
    if (!depthEdit_) {
        dragBy(e, delta);
        return;
    }
    // The depth moves without fine adjustment: its modifier is taken.
    const int32_t steps = depthEdit_->mapper().mapDrag(e, e.position, delta, 0);
    if (steps == 0) return;
    depthEdit_->beginEdit();
    depthEdit_->changeBy(steps);
}

void Knob::mouseUp(const MouseEvent&) {
    if (depthEdit_) {
        const bool moved = depthEdit_->editing();
        depthEdit_->endEdit();
        depthEdit_ = nullptr;
        if (!moved && onDepthClick) onDepthClick();
        return;
    }
    dragRelease();
}

}  // namespace gui
