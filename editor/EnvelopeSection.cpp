#include "editor/EnvelopeSection.h"

#include <cmath>
#include <string>

#include "dsp/CurveSet.h"
#include "dsp/Spline.h"
#include "editor/BoundValues.h"
#include "editor/DependentControl.h"
#include "editor/EditorColours.h"
#include "editor/InstanceSwitch.h"
#include "editor/ModulationIndicator.h"
#include "editor/ParameterMirror.h"
#include "gui/Label.h"
#include "gui/Modifiers.h"
#include "gui/ValueButton.h"

namespace {

constexpr gui::Colour kAccent = editor_colours::kEnvelopes;
constexpr int kPointsPerStage = 24;
// Room above and below the curve, as a share of the height.
constexpr float kInset = 0.08f;
constexpr int kSideChainTriggering = 1;

gui::Curve::Style curveStyle(gui::Colour accent) {
    gui::Curve::Style s;
    s.stroke = accent;
    s.fill = accent.withAlpha(0.14f);
    s.baseline = kInset;
    return s;
}

Spline splineOf(const CurveSet::Shape& s) {
    return Spline(s.y0, s.x1, s.y1, s.x2, s.y2, s.y3);
}

std::string envelopeName(int index) {
    return index == 0 ? std::string("EG Main") : "EG " + std::to_string(index + 1);
}

}  // namespace

EnvelopeDisplay::EnvelopeDisplay(GenericPluginInterface& editor, const std::string& envelope,
                                 gui::Colour accent)
    : gui::Curve(curveStyle(accent)), editor_(editor) {
    auto mirror = [&](const char* stage) {
        return &ParameterMirror::add(*this, editor, envelope + " " + stage);
    };
    times_ = {mirror("Delay"), mirror("Attack"), mirror("Decay"),
              nullptr,         mirror("Hold"),   mirror("Release")};
    sustain_ = mirror("Sustain");
    range_ = mirror("Range");
}

float EnvelopeDisplay::levelAt(float y) const {
    const float unit = (y - kInset) / (1 - 2 * kInset);
    return neutral_ ? unit * 2 - 1 : unit;
}

void EnvelopeDisplay::update() {
    static const Spline rising = splineOf(CurveSet::kRisingShape);
    static const Spline falling = splineOf(CurveSet::kFallingShape);
    std::array<float, kStageCount> times{};
    for (size_t s = 0; s < times.size(); ++s)
        times[s] = times_[s] ? engineValueOf(editor_, *times_[s]) : 0.0f;
    const float sustain = engineValueOf(editor_, *sustain_);
    neutral_ = range_->value() != 0;
    // Neutral Sustain shifts the whole shape down so that the sustain outputs 0.
    const float shift = neutral_ ? -sustain : 0.0f;
    float span = 0;
    for (float t : times) span += std::sqrt(t);
    const float scale = (1 - kSustainWidth) / std::max(span, kShortestSpan);
    float x = 0;
    for (int s = 0; s < kStageCount; ++s) {
        x += s == kSustain ? kSustainWidth : std::sqrt(times[static_cast<size_t>(s)]) * scale;
        ends_[static_cast<size_t>(s)] = x;
    }
    auto y = [this, shift](float level) {
        const float out = level + shift;
        return kInset + (1 - 2 * kInset) * (neutral_ ? (out + 1) * 0.5f : out);
    };
    std::vector<float> xy{0, y(0), ends_[kDelay], y(0)};
    auto stage = [&](float x0, float x1, auto&& level) {
        for (int i = 1; i <= kPointsPerStage; ++i) {
            const float p = static_cast<float>(i) / kPointsPerStage;
            xy.insert(xy.end(), {x0 + (x1 - x0) * p, y(level(p))});
        }
    };
    stage(ends_[kDelay], ends_[kAttack], [&](float p) { return float(rising.evaluate(p)); });
    stage(ends_[kAttack], ends_[kDecay],
          [&](float p) { return sustain + (1 - sustain) * float(falling.evaluate(p)); });
    xy.insert(xy.end(), {ends_[kHold], y(sustain)});
    stage(ends_[kHold], ends_[kRelease],
          [&](float p) { return sustain * float(falling.evaluate(p)); });
    if (ends_[kRelease] < 1) xy.insert(xy.end(), {1.0f, y(0)});
    setPoints(std::move(xy));
}

void EnvelopeDisplay::paint(gui::Graphics& g) {
    update();
    gui::Curve::paint(g);
    // The key's release, where the sustain stretch ends.
    const gui::Rect b = localBounds();
    const float x = 2 + ends_[kSustain] * (b.width - 4);
    g.line(x, 4, x, b.height - 4, 1.0f, gui::palette::kTextDim.withAlpha(0.5f));
    if (neutral_) {
        // The output's zero, which the sustain sits on in this range.
        const float zero = 2 + (1 - (kInset + (1 - 2 * kInset) * 0.5f)) * (b.height - 4);
        g.line(2, zero, b.width - 2, zero, 1.0f, gui::palette::kTextDim.withAlpha(0.6f));
    }
    g.text("key up", {static_cast<int>(x) + 3, 2, 60, 14}, gui::palette::kSmall,
           gui::palette::kTextDim, gui::Align::Left);
    if (modulated && modulated()) ModulationIndicator::paint(g, b);
}

bool EnvelopeDisplay::mouseDown(const gui::MouseEvent& e) {
    if (!(e.modifiers & gui::modifier::kLeftButton) || !onIndicatorClicked) return false;
    onIndicatorClicked();
    return true;
}

EnvelopeSection::EnvelopeSection(GenericPluginInterface& editor)
    : EditorSection(editor, "ENVELOPES", kAccent) {
    picker_ =
        &full().add<InstanceSwitch>(std::vector<std::string>{"Main", "2", "3", "4", "5", "6"});
    picker_->setStyle({false, kAccent, gui::palette::kSmall});
    picker_->setBounds({kMargin, 6, 230, 20});
    picker_->followCount(editor, "Num Active EGs");
    full()
        .add<gui::Label>("Active", gui::Label::Style{gui::palette::kSmall, gui::palette::kTextDim,
                                                     gui::Align::Right})
        .setBounds({330, 6, 56, 20});
    auto& active = full().add<gui::IntValueButton>();
    bind(active, "Num Active EGs");
    active.setBounds({392, 6, 49, 20});
    for (int i = 0; i < kCount; ++i) picker_->addPage(envelopePage(i));
    const char* stages[] = {"Attack", "Decay", "Sustain", "Release"};
    for (int i = 0; i < 8; ++i) {
        const std::string eg = envelopeName(i / 4);
        const std::string stage = stages[i % 4];
        knob(compact(), compactSlot(i + i / 4), eg + " " + stage,
             (i / 4 == 0 ? "M " : "2 ") + stage.substr(0, 3));
    }
}

gui::Component& EnvelopeSection::envelopePage(int index) {
    const std::string eg = envelopeName(index);
    auto& page = full().add<gui::Component>();
    page.setBounds({0, 0, 449, fullHeight()});
    const int row = 136;
    auto slot = [row](int n) {
        return gui::Rect{kMargin + n * kKnobWidth, row, kKnobWidth, kKnobHeight};
    };
    knob(page, slot(0), eg + " Delay", "Delay");
    knob(page, slot(1), eg + " Attack", "Attack");
    knob(page, slot(2), eg + " Decay", "Decay");
    knob(page, slot(3), eg + " Sustain", "Sustain");
    knob(page, slot(4), eg + " Release", "Release");
    knob(page, slot(5), eg + " Hold", "Hold");
    const int right = kMargin + 7 * kKnobWidth + 2;
    select(page, {right, row + 6, 441 - right, 20}, eg + " Range");
    select(page, {right, row + 32, 441 - right, 20}, eg + " Triggering");
    // The threshold only matters when the side chain triggers the envelope.
    auto& threshold = page.add<DependentControl<gui::Knob>>(editor(), eg + " Triggering",
                                                            kSideChainTriggering, knobStyle(false));
    threshold.setCaption("Thresh");
    bind(threshold, eg + " Threshold");
    threshold.setBounds(slot(6));
    auto& display = page.add<EnvelopeDisplay>(editor(), eg, kAccent);
    display.setBounds({kMargin, 32, 449 - 2 * kMargin, 98});
    displays_[static_cast<size_t>(index)] = &display;
    return page;
}
