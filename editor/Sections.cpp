#include "editor/Sections.h"

#include "editor/DelaySection.h"
#include "editor/EnvelopeSection.h"
#include "editor/FilterSection.h"
#include "editor/FollowerSection.h"
#include "editor/MasterSection.h"
#include "editor/MidiSourceSection.h"
#include "editor/OscillatorSection.h"
#include "editor/VornInterface.h"
#include "editor/XlfoSection.h"
#include "editor/XyPadSection.h"

std::vector<EditorSection*> makeSections(VornInterface& editor) {
    return {&editor.add<OscillatorSection>(editor), &editor.add<FilterSection>(editor),
            &editor.add<EnvelopeSection>(editor),   &editor.add<XlfoSection>(editor),
            &editor.add<DelaySection>(editor),      &editor.add<FollowerSection>(editor),
            &editor.add<MidiSourceSection>(editor), &editor.add<XyPadSection>(editor),
            &editor.add<MasterSection>(editor)};
}
