#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "editor/VornInterface.h"
#include "engine/VornPlugin.h"
#include "gui/Label.h"
#include "gui/OffscreenInterface.h"

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

// Every parameter of the filter, delay, XY and master sections has a control in a full panel;
// each panel fits the editor's width and the height limit, and its visible controls and labels
// do not overlap.
TEST(SectionLayoutTest, EveryParameterHasAControlThatFits) {
    VornPlugin plugin;
    VornInterface editor(plugin);
    gui::OffscreenInterface ui(editor);
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

        for (int layout : {0, 1}) {
            editor.setLayout(layout);
            editor.expand(index);
            ui.render();
            // Visible controls of the open panel: inside it, and none on another.
            std::vector<gui::Rect> placed;
            const gui::Rect panel = s.full().rootBounds();
            forEachControl(s.full(), [&](gui::Component& c) {
                for (auto* p = &c; p != &s.full(); p = p->parent())
                    if (!p->visible()) return;
                if (!dynamic_cast<gui::Control*>(&c) && !dynamic_cast<gui::Label*>(&c)) return;
                const gui::Rect r = c.rootBounds();
                EXPECT_EQ(r.intersection(panel).width, r.width) << s.title();
                EXPECT_EQ(r.intersection(panel).height, r.height) << s.title();
                for (const gui::Rect& o : placed)
                    EXPECT_FALSE(r.intersects(o)) << s.title() << " " << r.x << "," << r.y;
                placed.push_back(r);
            });
        }
    }
}

}  // namespace
