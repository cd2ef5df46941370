#include "editor/MasterSection.h"

#include "editor/EditorColours.h"
#include "editor/TuningButton.h"
#include "editor/VornInterface.h"
#include "gui/Label.h"

namespace {

constexpr gui::Colour kAccent = editor_colours::kMaster;
constexpr int kLabelWidth = 50;
constexpr int kSelectWidth = 84;
constexpr int kCellWidth = kLabelWidth + 4 + kSelectWidth + 8;

gui::Label::Style captionStyle() {
    gui::Label::Style dim;
    dim.font = gui::palette::kSmall;
    dim.colour = gui::palette::kTextDim;
    dim.align = gui::Align::Right;
    return dim;
}

}  // namespace

MasterSection::MasterSection(VornInterface& editor) : EditorSection(editor, "MASTER", kAccent) {
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
    // The tuning spans the row, for long scale names.
    tuning_ = &full().add<TuningButton>(editor.vorn(), [&editor] { editor.stateEdited(); });
    const gui::Rect first = cell(0, 2), last = cell(2, 2);
    tuning_->setBounds({first.x, first.y, last.right() - first.x, first.height});
    full()
        .add<gui::Label>("Tuning", captionStyle())
        .setBounds({first.x - 4 - kLabelWidth, first.y, kLabelWidth, first.height});
}

void MasterSection::idle() {
    tuning_->refresh();
}

gui::Rect MasterSection::cell(int column, int row) {
    return {kMargin + column * kCellWidth + kLabelWidth + 4, 4 + kKnobHeight + 8 + row * 28,
            kSelectWidth, 20};
}

void MasterSection::labelledSelect(int column, int row, const std::string& parameter,
                                   const std::string& caption) {
    const gui::Rect r = cell(column, row);
    full()
        .add<gui::Label>(caption, captionStyle())
        .setBounds({r.x - 4 - kLabelWidth, r.y, kLabelWidth, r.height});
    select(full(), r, parameter);
}
