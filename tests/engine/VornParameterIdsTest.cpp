#include <gtest/gtest.h>

#include <cctype>
#include <initializer_list>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/VornPlugin.h"
#include "tests/engine/VornParameterTestSupport.h"

namespace {

// Every host parameter's name in id order: the sets in construction order, each set's
// parameters in its own order.
std::vector<std::string> namesInIdOrder() {
    std::vector<std::string> n;
    const auto add = [&n](const std::string& prefix, std::initializer_list<const char*> items) {
        for (const char* item : items) n.push_back(prefix + item);
    };
    const auto numbered = [](const char* prefix, int k) { return prefix + std::to_string(k); };
    const auto filter = {" Freq",     " Pan",   " Peak",   " Characteristic",
                         " Response", " Slope", " Enabled"};
    add("Master", {" Tune", " Scale"});
    for (int k = 1; k <= 3; ++k) {
        add(numbered("Osc ", k), {" Detune", " Scale", " Wave Form", " Sync", " Pulse Width",
                                  " Level", " Pan", " Phase Sync", " Enabled"});
    }
    add("", {"Ring Modulation Enabled", "Portamento", "Portamento Mode"});
    for (int k = 1; k <= 2; ++k) add(numbered("Filter ", k), filter);
    add("Filter Routing", {""});
    for (const char* side : {"Delay L", "Delay R"}) {
        add(side, {" Time", " Offset", " Sync", " Feedback", " Cross Feedback", " Enabled"});
    }
    add("Delay ", {"Link", "Filter Routing"});
    for (int k = 1; k <= 2; ++k) add(numbered("Delay Filter ", k), filter);
    add("", {"Delay Enabled", "Delay Level", "Delay Pan", "Wet Enabled", "Dry Level", "Dry Pan",
             "Num Active XY Controllers"});
    for (int k = 1; k <= 4; ++k) add(numbered("XY Controller ", k), {" Hor", " Ver"});
    add("Num Active XLFOs", {""});
    for (int k = 1; k <= 6; ++k) {
        const std::string xlfo = numbered("XLFO ", k);
        add(xlfo, {" Frequency", " Frequency Offset", " Balance", " Phase Offset", " Glide",
                   " Sync Mode", " MIDI Trigger", " Snap"});
        n.push_back("Num Active " + xlfo + " Steps");
        for (int s = 1; s <= 16; ++s) {
            add(xlfo + numbered(" Step ", s), {" Value", " Glide", " Glide function", " Random"});
        }
    }
    add("Num Active EGs", {""});
    for (int k = 1; k <= 6; ++k) {
        add(k == 1 ? std::string("EG Main") : numbered("EG ", k),
            {" Hold", " Delay", " Range", " Threshold", " Triggering", " Attack", " Decay",
             " Sustain", " Release"});
    }
    add("Num Active EFs", {""});
    for (int k = 1; k <= 4; ++k) add(numbered("EF ", k), {" Attack", " Release"});
    add("Num Active MIDI Sources", {""});
    for (int k = 1; k <= 10; ++k) {
        add(numbered("MIDI Source ", k), {" Input", " Controller Number", " Response Curve"});
    }
    add("", {"Audition Signal", "Output Volume", "Output Pan", "Stereo", "Total Voices",
             "Unison Voices", "Polyphony", "Unison Spread", "Num Active Slots"});
    for (int k = 1; k <= 50; ++k) {
        add(numbered("Slot ", k), {" Source", " Level", " Bypassed", " Inverted", " Target"});
    }
    return n;
}

using VornParameterIdsTest = SharedPluginTest;

// Hosts keep automation by id: the ids are dense and fixed, and every parameter explains itself.
// Only four settings of the main envelope are hidden from automation.
TEST_F(VornParameterIdsTest, EveryIdHasItsFixedNameAndAHelpText) {
    const std::vector<std::string> names = namesInIdOrder();
    ASSERT_EQ(plugin().getParameterCount(), 883);
    ASSERT_EQ(names.size(), 883u);
    std::set<std::string> hidden;
    for (int id = 0; id < 883; ++id) {
        const AbstractPluginParameter* q = plugin().getParameter(id);
        ASSERT_EQ(q->name(), names[static_cast<size_t>(id)]) << "id " << id;
        EXPECT_EQ(q->id(), static_cast<uint32_t>(id));
        EXPECT_EQ(q->hostName(), q->name());
        const std::string& help = q->helpText();
        ASSERT_FALSE(help.empty()) << q->name();
        EXPECT_TRUE(std::isupper(static_cast<unsigned char>(help.front()))) << help;
        EXPECT_EQ(help.back(), '.') << help;
        EXPECT_EQ(help.find("{}"), std::string::npos) << help;
        if (!q->isAutomatable()) hidden.insert(q->name());
    }
    EXPECT_EQ(plugin().getParameter(883), nullptr);
    EXPECT_NE(p("Filter 1 Freq").helpText().find("filter 1"), std::string::npos);
    EXPECT_NE(p("XLFO 2 Step 3 Glide").helpText().find("step 3 of XLFO 2"), std::string::npos);
    EXPECT_EQ(hidden, (std::set<std::string>{"EG Main Delay", "EG Main Range", "EG Main Threshold",
                                             "EG Main Triggering"}));
    // Target numbers are checked against the target names; these carry none.
    for (const char* name : {"Osc 1 Scale", "XLFO 1 Frequency Offset", "XLFO 1 Balance",
                             "EG 2 Threshold", "XY Controller 1 Hor", "Slot 1 Source"}) {
        EXPECT_EQ(plugin().targetOfParameter(&p(name)), -1) << name;
    }
}

// Value names start at the minimum and cover the whole range.
TEST_F(VornParameterIdsTest, EveryListHasOneNamePerValue) {
    int lists = 0;
    for (int id = 0; id < plugin().getParameterCount(); ++id) {
        const AbstractPluginParameter* q = plugin().getParameter(id);
        if (q->kind() != AbstractPluginParameter::kIndexed) continue;
        ++lists;
        if (q->isNumeric()) continue;
        const int lo = static_cast<int>(q->getMinimum());
        const int hi = static_cast<int>(q->getMaximum());
        for (int v = lo; v <= hi; ++v) {
            EXPECT_NO_THROW(EXPECT_FALSE(q->formatValue(static_cast<float>(v)).empty()))
                << q->name() << " " << v;
        }
        EXPECT_THROW(q->formatValue(static_cast<float>(hi + 1)), std::out_of_range) << q->name();
    }
    EXPECT_GT(lists, 400);
    // Lists whose ranges the value table does not show.
    const std::pair<const char*, int> counts[] = {{"Filter 2 Response", 3},
                                                  {"Delay L Sync", 8},
                                                  {"XLFO 4 Sync Mode", 12},
                                                  {"XLFO 1 Step 2 Glide function", 4},
                                                  {"EG 3 Range", 2},
                                                  {"MIDI Source 2 Input", 6},
                                                  {"MIDI Source 9 Response Curve", 6},
                                                  {"Slot 7 Source", 35}};
    for (const auto& [name, count] : counts) {
        EXPECT_EQ(p(name).getMaximum() - p(name).getMinimum() + 1, count) << name;
    }
    float plain = 0.0f;
    EXPECT_TRUE(p("Slot 3 Target").parseText("eg 1 attack", &plain));
    EXPECT_EQ(plain, 62.0f);
}

TEST_F(VornParameterIdsTest, VirtualMidiParametersFollowTheHostParameters) {
    const char* linked[][3] = {
        {"Filter Link Freq", "Filter 1 Freq", "Filter 2 Freq"},
        {"Filter Link Peak", "Filter 1 Peak", "Filter 2 Peak"},
        {"Delay Filter Link Freq", "Delay Filter 1 Freq", "Delay Filter 2 Freq"},
        {"Delay Filter Link Peak", "Delay Filter 1 Peak", "Delay Filter 2 Peak"}};
    ASSERT_EQ(plugin().virtualParameters().size(), 4u);
    for (uint32_t i = 0; i < 4; ++i) {
        const auto* v =
            dynamic_cast<const MidiMultiVirtualPluginParameter*>(plugin().virtualParameters()[i]);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(plugin().virtualParameter(0x100000u + i), v);
        std::vector<std::string> names = {v->name()};
        for (const auto* q : v->linkedParameters()) names.push_back(q->name());
        EXPECT_EQ(names, (std::vector<std::string>{linked[i], linked[i] + 3}));
    }
    EXPECT_EQ(plugin().virtualParameter(0x100004u), nullptr);
    EXPECT_EQ(plugin().virtualParameter(882), nullptr);
}

}  // namespace
