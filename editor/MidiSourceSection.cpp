#include "editor/MidiSourceSection.h"

#include <string>

#include "editor/ActiveLabel.h"
#include "editor/DependentControl.h"
#include "editor/EditorColours.h"
#include "editor/ParameterMirror.h"
#include "engine/ParameterCurves.h"
#include "gui/Label.h"
#include "gui/ValueButton.h"
#include "modulation/MidiModSource.h"

namespace {

constexpr gui::Colour kAccent = editor_colours::kMidiSources;
constexpr int kInputX = 34, kInputWidth = 118;
constexpr int kNumberX = 158, kNumberWidth = 56;
constexpr int kCurveX = 220, kCurveWidth = 96;
constexpr int kPictureX = 324;

gui::Curve::Style curveStyle(gui::Colour accent) {
    gui::Curve::Style s;
    s.stroke = accent;
    s.fill = accent.withAlpha(0.12f);
    s.width = 1.25f;
    s.grid = false;
    return s;
}

}  // namespace

ResponseDisplay::ResponseDisplay(GenericPluginInterface& editor, const std::string& source,
                                 gui::Colour accent)
    : gui::Curve(curveStyle(accent)),
      curve_(ParameterMirror::add(*this, editor, source + " Response Curve")) {}

void ResponseDisplay::update() {
    std::vector<float> xy;
    for (int i = 0; i <= kPoints; ++i) {
        const float x = static_cast<float>(i) / kPoints;
        xy.insert(xy.end(), {x, MidiModSource::respond(curve_.value(), x, volumeCurve)});
    }
    setPoints(std::move(xy));
}

void ResponseDisplay::paint(gui::Graphics& g) {
    update();
    gui::Curve::paint(g);
}

MidiSourceSection::MidiSourceSection(GenericPluginInterface& editor)
    : EditorSection(editor, "MIDI SOURCES", kAccent) {
    const gui::Label::Style dim{gui::palette::kSmall, gui::palette::kTextDim, gui::Align::Left};
    full().add<gui::Label>("Active", dim).setBounds({kMargin, 6, 40, 20});
    auto& active = full().add<gui::IntValueButton>();
    bind(active, "Num Active MIDI Sources");
    active.setBounds({kMargin + 42, 6, 44, 20});
    full().add<gui::Label>("Input", dim).setBounds({kInputX, 30, kInputWidth, 14});
    full().add<gui::Label>("Controller", dim).setBounds({kNumberX, 30, 70, 14});
    full().add<gui::Label>("Response", dim).setBounds({kCurveX + 8, 30, kCurveWidth, 14});
    for (int i = 0; i < kCount; ++i) sourceRow(i);
    for (int i = 0; i < 4; ++i) {
        const std::string ms = "MIDI Source " + std::to_string(i + 1);
        const int x = kMargin + i * 108;
        compact()
            .add<gui::Label>("Source " + std::to_string(i + 1), dim)
            .setBounds({x, 4, 100, 12});
        select(compact(), {x, 18, 100, 20}, ms + " Input");
    }
}

void MidiSourceSection::sourceRow(int index) {
    const std::string ms = "MIDI Source " + std::to_string(index + 1);
    const int y = kRowTop + index * kRowHeight;
    full()
        .add<ActiveLabel>(editor(), "Num Active MIDI Sources", index, std::to_string(index + 1),
                          gui::Label::Style{gui::palette::kBold, kAccent, gui::Align::Right})
        .setBounds({kMargin, y, 20, 20});
    select(full(), {kInputX, y, kInputWidth, 20}, ms + " Input");
    auto& number = full().add<DependentControl<gui::IntValueButton>>(editor(), ms + " Input",
                                                                     MidiModSource::kController);
    bind(number, ms + " Controller Number");
    number.setBounds({kNumberX, y, kNumberWidth, 20});
    select(full(), {kCurveX, y, kCurveWidth, 20}, ms + " Response Curve");
    auto& display = full().add<ResponseDisplay>(editor(), ms, kAccent);
    display.setBounds({kPictureX, y, 449 - kMargin - kPictureX, 20});
    displays_[static_cast<size_t>(index)] = &display;
}
