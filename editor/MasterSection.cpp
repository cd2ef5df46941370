#include "editor/MasterSection.h"

#include "editor/EditorColours.h"
#include "gui/Label.h"

namespace {

constexpr gui::Colour kAccent = editor_colours::kMaster;
constexpr int kLabelWidth = 50;
constexpr int kSelectWidth = 84;
constexpr int kCellWidth = kLabelWidth + 4 + kSelectWidth + 8;

}  // namespace

MasterSection::MasterSection(GenericPluginInterface& editor)
    : EditorSection(editor, "MASTER", kAccent) {
    struct Entry {
        const char* parameter;
        const char* caption;
        bool bipolar;
    };
    const Entry knobs[] = {{"Output Volume", "Volume", false}, {"Output Pan", "Pan", true},
                           {"Stereo", "Stereo", false},        {"Master Tune", "Tune", true},
                           {"Portamento", "Glide", false},     {"Unison Spread", "Spread", false}};
    int n = 0;
    for (const Entry& e : knobs) {
        knob(full(), {kMargin + n * kKnobWidth, 4, kKnobWidth, kKnobHeight}, e.parameter, e.caption,
             e.bipolar);
        knob(compact(), compactSlot(n), e.parameter, e.caption, e.bipolar);
        ++n;
    }
    labelledSelect(0, 0, "Total Voices", "Voices");
    labelledSelect(1, 0, "Unison Voices", "Unison");
    labelledSelect(2, 0, "Polyphony", "Play");
    labelledSelect(0, 1, "Master Scale", "Octave");
    labelledSelect(1, 1, "Portamento Mode", "Glide");
    labelledSelect(2, 1, "Audition Signal", "Audition");
}

void MasterSection::labelledSelect(int column, int row, const std::string& parameter,
                                   const std::string& caption) {
    gui::Label::Style dim;
    dim.font = gui::palette::kSmall;
    dim.colour = gui::palette::kTextDim;
    dim.align = gui::Align::Right;
    const int x = kMargin + column * kCellWidth, y = 4 + kKnobHeight + 8 + row * 28;
    full().add<gui::Label>(caption, dim).setBounds({x, y, kLabelWidth, 20});
    select(full(), {x + kLabelWidth + 4, y, kSelectWidth, 20}, parameter);
}
