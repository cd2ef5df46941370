#include "editor/StepEditor.h"

#include <algorithm>
#include <cmath>

#include "editor/BoundValues.h"
#include "editor/GenericPluginInterface.h"
#include "editor/ParameterMirror.h"
#include "framework/AbstractPluginParameter.h"
#include "gui/Modifiers.h"
#include "gui/Palette.h"

namespace {

constexpr int kSnapLevels = 24;

// The glide shapes of the steps (linear, square, square root, sine).
float glideShape(int function, float x) {
    switch (function) {
        case 1:
            return x * x;
        case 2:
            return x >= 0 ? std::sqrt(x) : -std::sqrt(-x);
        case 3:
            return (std::sin((x - 0.5f) * 3.14159265f) + 1.0f) * 0.5f;
        default:
            return x;
    }
}

// Snapped to the 25 semitone levels the engine plays.
float snapped(float v) {
    const int q =
        std::clamp(static_cast<int>(((v + 1) * 0.5f + 1.0f / 48) * kSnapLevels), 0, kSnapLevels);
    return static_cast<float>(q) / kSnapLevels * 2 - 1;
}

}  // namespace

StepEditor::StepEditor(GenericPluginInterface& editor, const std::string& xlfo, gui::Colour accent)
    : editor_(editor), accent_(accent) {
    auto mirror = [this](const std::string& name) {
        return &ParameterMirror::add(*this, editor_, name);
    };
    m_.activeSteps = mirror("Num Active " + xlfo + " Steps");
    m_.snap = mirror(xlfo + " Snap");
    m_.balance = mirror(xlfo + " Balance");
    m_.glide = mirror(xlfo + " Glide");
    for (size_t k = 0; k < kSteps; ++k) {
        const std::string step = xlfo + " Step " + std::to_string(k + 1);
        m_.value[k] = mirror(step + " Value");
        m_.stepGlide[k] = mirror(step + " Glide");
        m_.glideFunction[k] = mirror(step + " Glide function");
        m_.random[k] = mirror(step + " Random");
    }
    setHint("Drag across the bars to draw the steps.");
}

gui::ValueControl& StepEditor::step(int index) {
    return *m_.value[static_cast<size_t>(index)];
}

int StepEditor::activeSteps() const {
    return m_.activeSteps->value() + 1;
}

gui::Rect StepEditor::barArea() const {
    const gui::Rect b = localBounds();
    return {2, 2, b.width - 4, b.height - kTimelineHeight - 6};
}

int StepEditor::stepAt(int x) const {
    const gui::Rect a = barArea();
    return std::clamp((x - a.x) * kSteps / std::max(1, a.width), 0, kSteps - 1);
}

float StepEditor::valueAt(int y) const {
    const gui::Rect a = barArea();
    const float v = 1.0f - 2.0f * static_cast<float>(y - a.y) / static_cast<float>(a.height);
    return std::clamp(v, -1.0f, 1.0f);
}

int StepEditor::yOf(float value) const {
    const gui::Rect a = barArea();
    return a.y + static_cast<int>(std::lround((1.0f - value) * 0.5f * a.height));
}

float StepEditor::shownValue(int index) {
    const float v = plainValueOf(editor_, step(index));
    return m_.snap->value() ? snapped(v) : v;
}

float StepEditor::stepGlide(int index) {
    const float g = plainValueOf(editor_, *m_.stepGlide[static_cast<size_t>(index)]) +
                    plainValueOf(editor_, *m_.glide);
    return std::clamp(g, 0.0f, 1.0f);
}

std::vector<float> StepEditor::outputCurve() {
    constexpr int kPointsPerGlide = 12;
    const gui::Rect a = barArea();
    const int n = activeSteps();
    std::vector<float> xy;
    for (int k = 0; k < n; ++k) {
        const float x0 = a.x + static_cast<float>(a.width) * k / kSteps;
        const float w = static_cast<float>(a.width) / kSteps;
        const float cur = shownValue(k), next = shownValue((k + 1) % n);
        const float g = stepGlide(k);
        const int function = m_.glideFunction[static_cast<size_t>(k)]->value();
        xy.insert(xy.end(), {x0, cur, x0 + w * (1 - g), cur});
        for (int i = 1; g > 0 && i <= kPointsPerGlide; ++i) {
            const float t = static_cast<float>(i) / kPointsPerGlide;
            xy.insert(xy.end(),
                      {x0 + w * (1 - g + g * t), cur + (next - cur) * glideShape(function, t)});
        }
    }
    return xy;
}

void StepEditor::paint(gui::Graphics& g) {
    g.fillRoundedRect(localBounds(), gui::palette::kRadius, gui::palette::kTrack);
    paintBars(g);
    std::vector<float> xy = outputCurve();
    for (size_t i = 1; i < xy.size(); i += 2) xy[i] = static_cast<float>(yOf(xy[i]));
    g.polyline(xy, 1.5f, gui::palette::kText.withAlpha(0.85f));
    paintTimeline(g);
}

void StepEditor::paintBars(gui::Graphics& g) {
    const gui::Rect a = barArea();
    const int zero = yOf(0), n = activeSteps();
    if (m_.snap->value())
        for (int q = 0; q <= kSnapLevels; q += 2) {
            const float y = static_cast<float>(yOf(q / 12.0f - 1.0f)) + 0.5f;
            g.line(a.x, y, a.x + a.width, y, 1.0f, gui::palette::kHighlight);
        }
    g.line(a.x, zero + 0.5f, a.x + a.width, zero + 0.5f, 1.0f, gui::palette::kBorder);
    for (int k = 0; k < kSteps; ++k) {
        const int x0 = a.x + a.width * k / kSteps, x1 = a.x + a.width * (k + 1) / kSteps;
        const int top = yOf(shownValue(k));
        const bool active = k < n;
        const bool random = m_.random[static_cast<size_t>(k)]->value() != 0;
        gui::Colour c = active ? accent_.withAlpha(random ? 0.3f : 0.6f)
                               : gui::palette::kTextDisabled.withAlpha(0.35f);
        if (k == selected_ && active) c = accent_.withAlpha(0.85f);
        g.fillRect({x0 + 1, std::min(top, zero), x1 - x0 - 2, std::max(1, std::abs(top - zero))},
                   c);
        if (random && active)
            g.text("?", {x0, a.y, x1 - x0, 14}, gui::palette::kSmall, gui::palette::kTextDim);
    }
}

// The share of the cycle each active step lasts: the first half of the steps shares the
// balance, the second half the rest.
void StepEditor::paintTimeline(gui::Graphics& g) {
    const gui::Rect a = barArea();
    const int n = activeSteps();
    const float balance = std::clamp(engineValueOf(editor_, *m_.balance), 0.0001f, 0.9999f);
    const float y = static_cast<float>(a.y + a.height + 4);
    float start = 0;
    for (int i = 0; i < n; ++i) {
        const float end = i == n - 1         ? 1.0f
                          : 2 * (i + 1) >= n ? (i + 1 - n / 2.0f) * (1 - balance) * 2 / n + balance
                                             : (i + 1) * balance * 2 / n;
        const gui::Colour c = i % 2 ? accent_.withAlpha(0.45f) : accent_.withAlpha(0.9f);
        g.fillRect({a.x + static_cast<int>(start * a.width), static_cast<int>(y),
                    std::max(1, static_cast<int>((end - start) * a.width)), kTimelineHeight - 2},
                   c);
        start = end;
    }
}

void StepEditor::setStep(int index, float value) {
    gui::ValueControl& c = step(index);
    if (std::find(stroke_.begin(), stroke_.end(), index) == stroke_.end()) {
        stroke_.push_back(index);
        c.beginEdit();
    }
    const int id = editor_.boundParameter(c);
    if (const AbstractPluginParameter* p = id < 0 ? nullptr : editor_.plugin().getParameter(id))
        c.changeTo(GenericPluginInterface::toSteps(*p, value));
}

bool StepEditor::mouseDown(const gui::MouseEvent& e) {
    if (!(e.modifiers & gui::modifier::kLeftButton)) return false;
    lastStep_ = stepAt(e.position.x);
    lastValue_ = valueAt(e.position.y);
    setStep(lastStep_, lastValue_);
    select(lastStep_);
    return true;
}

void StepEditor::mouseMove(const gui::MouseEvent& e) {
    select(stepAt(e.position.x));
}

void StepEditor::select(int index) {
    if (index == selected_) return;
    selected_ = index;
    if (onSelect) onSelect(index);
    repaint();
}

// Every step between the last point and this one gets the value on the line between them, so
// that a fast stroke leaves no gaps.
void StepEditor::mouseDrag(const gui::MouseEvent& e) {
    if (lastStep_ < 0) return;
    const int k = stepAt(e.position.x);
    const float v = valueAt(e.position.y);
    const int dir = k >= lastStep_ ? 1 : -1;
    for (int s = lastStep_ + dir; s != k + dir; s += dir) {
        const float t = static_cast<float>(s - lastStep_) / static_cast<float>(k - lastStep_);
        setStep(s, lastValue_ + (v - lastValue_) * t);
    }
    setStep(k, v);
    lastStep_ = k;
    lastValue_ = v;
    select(k);
}

void StepEditor::mouseUp(const gui::MouseEvent&) {
    std::vector<int> stroke;
    stroke.swap(stroke_);
    for (int s : stroke) step(s).endEdit();
    lastStep_ = -1;
}
