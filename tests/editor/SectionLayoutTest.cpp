#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "editor/VornInterface.h"
#include "engine/VornPlugin.h"

namespace {

void forEachControl(gui::Component& c, const std::function<void(gui::Component&)>& f) {
    for (auto& child : c.children()) {
        f(*child);
        forEachControl(*child, f);
    }
}

std::set<std::string> boundNames(VornInterface& editor, gui::Component& panel, VornPlugin& p) {
    std::set<std::string> names;
    forEachControl(panel, [&](gui::Component& c) {
        // Hidden controls that only watch a parameter for a picture do not count.
        if (auto* v = dynamic_cast<gui::ValueControl*>(&c); v && v->visible()) {
            const int id = editor.boundParameter(*v);
            if (id >= 0) names.insert(p.getParameter(id)->name());
        }
    });
    return names;
}

std::vector<std::string> withPrefixes(const std::vector<std::string>& prefixes,
                                      const std::vector<std::string>& suffixes) {
    std::vector<std::string> names;
    for (auto& p : prefixes)
        for (auto& s : suffixes) names.push_back(p + " " + s);
    return names;
}

// Every parameter of the filter, delay, XY and master sections has a control in a full panel, and
// each panel keeps within the height limit (the golden images show where the controls are).
TEST(SectionLayoutTest, EveryParameterHasAControlThatFits) {
    VornPlugin plugin;
    VornInterface editor(plugin);
    const std::vector<std::string> filter = {"Freq",     "Peak",  "Pan",    "Characteristic",
                                             "Response", "Slope", "Enabled"};
    std::vector<std::string> delay =
        withPrefixes({"Delay L", "Delay R"},
                     {"Time", "Offset", "Sync", "Feedback", "Cross Feedback", "Enabled"});
    for (auto& n : withPrefixes({"Delay Filter 1", "Delay Filter 2"}, filter)) delay.push_back(n);
    for (const char* n : {"Delay Link", "Delay Filter Routing", "Delay Enabled", "Delay Level",
                          "Delay Pan", "Wet Enabled", "Dry Level", "Dry Pan"})
        delay.push_back(n);
    std::vector<std::string> xy = {"Num Active XY Controllers"};
    for (int i = 1; i <= 4; ++i)
        for (const char* a : {" Hor", " Ver"})
            xy.push_back("XY Controller " + std::to_string(i) + a);
    std::vector<std::string> filters = withPrefixes({"Filter 1", "Filter 2"}, filter);
    filters.push_back("Filter Routing");
    std::vector<std::string> master = {"Master Tune",     "Master Scale",  "Portamento",
                                       "Portamento Mode", "Polyphony",     "Total Voices",
                                       "Unison Voices",   "Unison Spread", "Stereo",
                                       "Output Volume",   "Output Pan",    "Audition Signal"};
    const std::pair<int, std::vector<std::string>*> sections[] = {
        {VornInterface::kFilters, &filters},
        {VornInterface::kDelay, &delay},
        {VornInterface::kXyPads, &xy},
        {VornInterface::kMaster, &master}};
    for (auto& [index, names] : sections) {
        EditorSection& s = editor.section(index);
        const std::set<std::string> bound = boundNames(editor, s.full(), plugin);
        for (const std::string& n : *names) EXPECT_TRUE(bound.count(n)) << s.title() << ": " << n;
        EXPECT_LE(s.heightFor(EditorSection::Mode::Full), EditorSection::kHeaderHeight + 400);
    }
}

}  // namespace
