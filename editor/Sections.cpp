#include "editor/Sections.h"

#include <memory>

#include "editor/EnvelopeSection.h"
#include "editor/FollowerSection.h"
#include "editor/MidiSourceSection.h"
#include "editor/OscillatorSection.h"
#include "editor/VornInterface.h"
#include "editor/XlfoSection.h"

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
    auto plain = [&](const char* title) {
        sections.push_back(&editor.add<PlainSection>(editor, title, gui::palette::kAccent));
    };
    plain("FILTERS");
    sections.push_back(&editor.add<EnvelopeSection>(editor));
    sections.push_back(&editor.add<XlfoSection>(editor));
    plain("DELAY");
    sections.push_back(&editor.add<FollowerSection>(editor));
    sections.push_back(&editor.add<MidiSourceSection>(editor));
    plain("XY PADS");
    plain("MASTER");
    return sections;
}
