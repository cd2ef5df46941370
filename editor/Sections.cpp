#include "editor/Sections.h"

#include <memory>

#include "editor/DelaySection.h"
#include "editor/FilterSection.h"
#include "editor/MasterSection.h"
#include "editor/OscillatorSection.h"
#include "editor/VornInterface.h"
#include "editor/XyPadSection.h"

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
    auto plain = [&editor](const char* title) -> EditorSection* {
        return &editor.add<PlainSection>(editor, title, gui::palette::kAccent);
    };
    std::vector<EditorSection*> sections;
    sections.push_back(&editor.add<OscillatorSection>(editor));
    sections.push_back(&editor.add<FilterSection>(editor));
    sections.push_back(plain("ENVELOPES"));
    sections.push_back(plain("XLFOS"));
    sections.push_back(&editor.add<DelaySection>(editor));
    sections.push_back(plain("ENVELOPE FOLLOWERS"));
    sections.push_back(plain("MIDI SOURCES"));
    sections.push_back(&editor.add<XyPadSection>(editor));
    sections.push_back(&editor.add<MasterSection>(editor));
    return sections;
}
