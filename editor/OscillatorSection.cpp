#include "editor/OscillatorSection.h"

#include <cmath>
#include <string>

#include "editor/EditorColours.h"
#include "editor/GenericPluginInterface.h"
#include "editor/ParameterMirror.h"
#include "editor/WaveDisplay.h"
#include "gui/Shape.h"

namespace {

constexpr gui::Colour kAccent = editor_colours::kOscillators;

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
    auto& display = full().add<WaveDisplay>(form, width, kAccent);
    display.setBounds({kMargin + 32, y + 4, 80, 34});
    // Redrawn whenever the shape changes, from the hand, the host, a preset or an undo.
    ParameterMirror::add(display, editor(), osc + " Wave Form");
    ParameterMirror::add(display, editor(), osc + " Pulse Width");
}
