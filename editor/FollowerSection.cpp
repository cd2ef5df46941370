#include "editor/FollowerSection.h"

#include <cmath>
#include <string>

#include "editor/ActiveLabel.h"
#include "editor/BoundValues.h"
#include "editor/EditorColours.h"
#include "editor/ParameterMirror.h"
#include "gui/Label.h"
#include "gui/ValueButton.h"

namespace {

constexpr gui::Colour kAccent = editor_colours::kFollowers;
constexpr int kPoints = 120;
constexpr int kColumnWidth = 108;

gui::Curve::Style curveStyle(gui::Colour accent) {
    gui::Curve::Style s;
    s.stroke = accent;
    s.fill = accent.withAlpha(0.14f);
    s.grid = false;
    return s;
}

// The share of a move still to go after t seconds, when 90 % is done after `time`.
float remaining(float t, float time) {
    return std::exp(-std::log(10.0f) * t / std::max(time, 1e-6f));
}

}  // namespace

FollowerDisplay::FollowerDisplay(GenericPluginInterface& editor, const std::string& follower,
                                 gui::Colour accent)
    : gui::Curve(curveStyle(accent)),
      editor_(editor),
      attack_(ParameterMirror::add(*this, editor, follower + " Attack")),
      release_(ParameterMirror::add(*this, editor, follower + " Release")) {}

float FollowerDisplay::outputAt(float t) const {
    const float top = 1 - remaining(std::min(t, kBurstSeconds), attackSeconds_);
    return t <= kBurstSeconds ? top : top * remaining(t - kBurstSeconds, releaseSeconds_);
}

void FollowerDisplay::update() {
    attackSeconds_ = engineValueOf(editor_, attack_);
    releaseSeconds_ = engineValueOf(editor_, release_);
    std::vector<float> xy{0, 0};
    for (int i = 0; i <= kPoints; ++i) {
        const float x = static_cast<float>(i) / kPoints;
        xy.insert(xy.end(), {x, 0.9f * outputAt(x * kSpanSeconds)});
    }
    setPoints(std::move(xy));
}

void FollowerDisplay::paint(gui::Graphics& g) {
    update();
    gui::Curve::paint(g);
    // The burst of side chain, shaded.
    const gui::Rect b = localBounds();
    const int w = static_cast<int>((b.width - 4) * kBurstSeconds / kSpanSeconds);
    g.fillRect({2, 2, w, b.height - 4}, gui::palette::kHighlight);
}

FollowerSection::FollowerSection(GenericPluginInterface& editor)
    : EditorSection(editor, "ENVELOPE FOLLOWERS", kAccent) {
    const gui::Label::Style dim{gui::palette::kSmall, gui::palette::kTextDim, gui::Align::Right};
    full().add<gui::Label>("Active", dim).setBounds({330, 6, 56, 20});
    auto& active = full().add<gui::IntValueButton>();
    bind(active, "Num Active EFs");
    active.setBounds({392, 6, 49, 20});
    for (int i = 0; i < kCount; ++i) {
        const std::string ef = "EF " + std::to_string(i + 1);
        const int x = kMargin + i * kColumnWidth + 4;
        full()
            .add<ActiveLabel>(editor, "Num Active EFs", i, ef,
                              gui::Label::Style{gui::palette::kBold, kAccent, gui::Align::Left})
            .setBounds({x, 32, 80, 16});
        knob(full(), {x + 4, 110, kKnobWidth, kKnobHeight}, ef + " Attack", "Attack");
        knob(full(), {x + 4 + kKnobWidth, 110, kKnobWidth, kKnobHeight}, ef + " Release",
             "Release");
        auto& display = full().add<FollowerDisplay>(editor, ef, kAccent);
        display.setBounds({x, 50, kColumnWidth - 8, 54});
        displays_[static_cast<size_t>(i)] = &display;
        knob(compact(), compactSlot(2 * i), ef + " Attack", "Att " + std::to_string(i + 1));
        knob(compact(), compactSlot(2 * i + 1), ef + " Release", "Rel " + std::to_string(i + 1));
    }
}
