#include "editor/Sections.h"

#include <memory>

#include "editor/OscillatorSection.h"
#include "editor/VornInterface.h"

namespace {

// A section not yet drawn in full: its title only.
class PlainSection : public EditorSection {
public:
    using EditorSection::EditorSection;

protected:
    int fullHeight() const override { return 120; }
};

}  // namespace

std::vector<EditorSection*> makeSections(VornInterface& editor) {
    std::vector<EditorSection*> sections;
    sections.push_back(&editor.add<OscillatorSection>(editor));
    const char* titles[] = {"FILTERS",      "ENVELOPES", "XLFOS", "DELAY", "ENVELOPE FOLLOWERS",
                            "MIDI SOURCES", "XY PADS",   "MASTER"};
    for (const char* t : titles)
        sections.push_back(&editor.add<PlainSection>(editor, t, gui::palette::kAccent));
    return sections;
}
