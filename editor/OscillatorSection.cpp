#include "editor/OscillatorSection.h"

#include <cmath>
#include <string>

#include "editor/EditorColours.h"
#include "editor/GenericPluginInterface.h"
#include "editor/ParameterMirror.h"
#include "gui/Shape.h"

namespace {

constexpr gui::Colour kAccent = editor_colours::kOscillators;

// One period of the chosen wave as the oscillator shapes it (pulse width included).
class WaveDisplay : public gui::Curve {
public:
    WaveDisplay(gui::ValueControl& form, gui::ValueControl& width)
        : gui::Curve(style()), form_(form), width_(width) {}
    void paint(gui::Graphics& g) override {
        if (form_.value() != shown_ || width_.value() != shownWidth_) update();
        gui::Curve::paint(g);
    }

private:
    static gui::Curve::Style style() {
        gui::Curve::Style s;
        s.stroke = kAccent;
        s.fill = kAccent.withAlpha(0.12f);
        s.baseline = 0.5f;
        s.grid = false;
        return s;
    }
    static float sample(int form, float t, float pw, uint32_t& noise) {
        switch (form) {
            case 0:
                return 1 - 4 * std::abs(t - 0.5f);
            case 1:
                return 1 - 2 * t;
            case 2:
                return t < pw ? 1.0f : -1.0f;
            case 3:
                return std::sin(6.2831853f * t);
            default:
                noise = noise * 1664525u + 1013904223u;
                return (static_cast<float>(noise >> 8) / 8388608.0f - 1) *
                       (form == 4 ? 1.0f : 0.6f);
        }
    }
    void update() {
        shown_ = form_.value();
        shownWidth_ = width_.value();
        const float pw = 0.5f * (1.0f - width_.proportion() * 0.9f);
        std::vector<float> xy;
        uint32_t noise = 12345;
        for (int i = 0; i <= 96; ++i) {
            const float t = i / 96.0f;
            xy.push_back(t);
            xy.push_back(0.5f + 0.4f * sample(shown_, t, pw, noise));
        }
        setPoints(std::move(xy));
    }
    gui::ValueControl& form_;
    gui::ValueControl& width_;
    int32_t shown_ = -1, shownWidth_ = -1;
};

}  // namespace

OscillatorSection::OscillatorSection(GenericPluginInterface& editor)
    : EditorSection(editor, "OSCILLATORS", kAccent) {
    for (int i = 0; i < 3; ++i) oscillatorRow(i, 4 + i * kRowHeight);
    toggle(full(), {kMargin, 4 + 3 * kRowHeight + 4, 130, 22}, "Ring Modulation Enabled",
           "Ring modulation");
    for (int i = 0; i < 3; ++i) {
        const std::string osc = "Osc " + std::to_string(i + 1);
        knob(compact(), compactSlot(3 * i), osc + " Level", "Level " + std::to_string(i + 1));
        knob(compact(), compactSlot(3 * i + 1), osc + " Detune", "Detune", true);
        knob(compact(), compactSlot(3 * i + 2), osc + " Pan", "Pan", true);
    }
}

void OscillatorSection::oscillatorRow(int index, int y) {
    const std::string osc = "Osc " + std::to_string(index + 1);
    toggle(full(), {kMargin, y + 6, 28, 20}, osc + " Enabled", std::to_string(index + 1));
    auto& form = select(full(), {kMargin, y + 42, 112, 20}, osc + " Wave Form");
    const int x = 128, w = kKnobWidth;
    auto slot = [&](int n) { return gui::Rect{x + n * w, y + 4, kKnobWidth, kKnobHeight}; };
    knob(full(), slot(0), osc + " Detune", "Detune", true);
    knob(full(), slot(1), osc + " Scale", "Scale");
    knob(full(), slot(2), osc + " Sync", "Sync");
    auto& width = knob(full(), slot(3), osc + " Pulse Width", "Width");
    knob(full(), slot(4), osc + " Level", "Level");
    knob(full(), slot(5), osc + " Pan", "Pan", true);
    toggle(full(), {x + 6 * w + 2, y + 14, 40, 20}, osc + " Phase Sync", "Φ");
    auto& display = full().add<WaveDisplay>(form, width);
    display.setBounds({kMargin + 32, y + 4, 80, 34});
    // Redrawn whenever the shape changes, from the hand, the host, a preset or an undo.
    ParameterMirror::add(display, editor(), osc + " Wave Form");
    ParameterMirror::add(display, editor(), osc + " Pulse Width");
}
