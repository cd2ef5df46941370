#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>

#include "engine/ModulationNames.h"
#include "engine/VornPlugin.h"
#include "tests/engine/VornParameterTestSupport.h"

namespace {

TEST(VornParameterIdsTest, EverySetStartsAndEndsAtItsId) {
    VornPlugin plugin;
    ASSERT_EQ(plugin.getParameterCount(), 883);
    const std::pair<int, const char*> rows[] = {
        {0, "Master Tune"},
        {1, "Master Scale"},
        {2, "Osc 1 Detune"},
        {10, "Osc 1 Enabled"},
        {11, "Osc 2 Detune"},
        {19, "Osc 2 Enabled"},
        {20, "Osc 3 Detune"},
        {28, "Osc 3 Enabled"},
        {29, "Ring Modulation Enabled"},
        {30, "Portamento"},
        {31, "Portamento Mode"},
        {32, "Filter 1 Freq"},
        {38, "Filter 1 Enabled"},
        {39, "Filter 2 Freq"},
        {41, "Filter 2 Peak"},
        {45, "Filter 2 Enabled"},
        {46, "Filter Routing"},
        {47, "Delay L Time"},
        {52, "Delay L Enabled"},
        {53, "Delay R Time"},
        {58, "Delay R Enabled"},
        {59, "Delay Link"},
        {60, "Delay Filter Routing"},
        {61, "Delay Filter 1 Freq"},
        {67, "Delay Filter 1 Enabled"},
        {68, "Delay Filter 2 Freq"},
        {74, "Delay Filter 2 Enabled"},
        {75, "Delay Enabled"},
        {76, "Delay Level"},
        {77, "Delay Pan"},
        {78, "Wet Enabled"},
        {79, "Dry Level"},
        {80, "Dry Pan"},
        {81, "Num Active XY Controllers"},
        {82, "XY Controller 1 Hor"},
        {89, "XY Controller 4 Ver"},
        {90, "Num Active XLFOs"},
        {91, "XLFO 1 Frequency"},
        {93, "XLFO 1 Balance"},
        {95, "XLFO 1 Glide"},
        {98, "XLFO 1 Snap"},
        {99, "Num Active XLFO 1 Steps"},
        {100, "XLFO 1 Step 1 Value"},
        {163, "XLFO 1 Step 16 Random"},
        {164, "XLFO 2 Frequency"},
        {236, "XLFO 2 Step 16 Random"},
        {237, "XLFO 3 Frequency"},
        {245, "Num Active XLFO 3 Steps"},
        {309, "XLFO 3 Step 16 Random"},
        {310, "XLFO 4 Frequency"},
        {383, "XLFO 5 Frequency"},
        {456, "XLFO 6 Frequency"},
        {528, "XLFO 6 Step 16 Random"},
        {529, "Num Active EGs"},
        {530, "EG Main Hold"},
        {535, "EG Main Attack"},
        {538, "EG Main Release"},
        {539, "EG 2 Hold"},
        {547, "EG 2 Release"},
        {575, "EG 6 Hold"},
        {583, "EG 6 Release"},
        {584, "Num Active EFs"},
        {585, "EF 1 Attack"},
        {592, "EF 4 Release"},
        {593, "Num Active MIDI Sources"},
        {594, "MIDI Source 1 Input"},
        {623, "MIDI Source 10 Response Curve"},
        {624, "Audition Signal"},
        {625, "Output Volume"},
        {626, "Output Pan"},
        {627, "Stereo"},
        {628, "Total Voices"},
        {629, "Unison Voices"},
        {630, "Polyphony"},
        {631, "Unison Spread"},
        {632, "Num Active Slots"},
        {633, "Slot 1 Source"},
        {637, "Slot 1 Target"},
        {638, "Slot 2 Source"},
        {882, "Slot 50 Target"},
    };
    for (const auto& [id, name] : rows) {
        const AbstractPluginParameter* p = plugin.getParameter(id);
        ASSERT_NE(p, nullptr) << id;
        EXPECT_EQ(p->name(), name) << "id " << id;
        EXPECT_EQ(p->id(), static_cast<uint32_t>(id));
    }
    EXPECT_EQ(plugin.getParameter(883), nullptr);
}

TEST(VornParameterIdsTest, NamesAreUniqueAndEveryParameterExplainsItself) {
    VornPlugin plugin;
    std::set<std::string> names;
    for (int id = 0; id < plugin.getParameterCount(); ++id) {
        const AbstractPluginParameter* p = plugin.getParameter(id);
        EXPECT_TRUE(names.insert(p->name()).second) << "duplicate " << p->name();
        EXPECT_EQ(p->hostName(), p->name());
        const std::string& help = p->helpText();
        ASSERT_FALSE(help.empty()) << p->name();
        EXPECT_TRUE(std::isupper(static_cast<unsigned char>(help.front()))) << help;
        EXPECT_EQ(help.back(), '.') << help;
        EXPECT_EQ(help.find("{}"), std::string::npos) << help;
    }
    EXPECT_NE(findParameter(plugin, "Filter 1 Freq")->helpText().find("filter 1"),
              std::string::npos);
    EXPECT_NE(findParameter(plugin, "XLFO 2 Step 3 Glide")->helpText().find("step 3 of XLFO 2"),
              std::string::npos);
}

// Value names start at the minimum and cover the whole range.
TEST(VornParameterIdsTest, EveryListHasOneNamePerValue) {
    VornPlugin plugin;
    int lists = 0;
    for (int id = 0; id < plugin.getParameterCount(); ++id) {
        const AbstractPluginParameter* p = plugin.getParameter(id);
        if (p->kind() != AbstractPluginParameter::kIndexed) continue;
        ++lists;
        if (p->isNumeric()) continue;
        const int lo = static_cast<int>(p->getMinimum());
        const int hi = static_cast<int>(p->getMaximum());
        for (int v = lo; v <= hi; ++v) {
            EXPECT_NO_THROW(EXPECT_FALSE(p->formatValue(static_cast<float>(v)).empty()))
                << p->name() << " " << v;
        }
        EXPECT_THROW(p->formatValue(static_cast<float>(hi + 1)), std::out_of_range) << p->name();
    }
    EXPECT_GT(lists, 400);

    const std::pair<const char*, int> counts[] = {
        {"Master Scale", 4},
        {"Osc 1 Scale", 4},
        {"Osc 1 Wave Form", 6},
        {"Filter 1 Characteristic", 11},
        {"Filter 2 Response", 3},
        {"Delay Filter 1 Slope", 3},
        {"Delay L Sync", 8},
        {"XLFO 4 Sync Mode", 12},
        {"XLFO 1 Step 2 Glide function", 4},
        {"EG 3 Range", 2},
        {"MIDI Source 2 Input", 6},
        {"MIDI Source 9 Response Curve", 6},
        {"Slot 7 Source", 35},
        {"Slot 7 Target", 158},
        {"Filter Routing", 3},
        {"Total Voices", 12},
        {"Unison Voices", 12},
        {"MIDI Source 1 Controller Number", 128},
    };
    for (const auto& [name, count] : counts) {
        const AbstractPluginParameter* p = findParameter(plugin, name);
        ASSERT_NE(p, nullptr) << name;
        EXPECT_EQ(p->getMaximum() - p->getMinimum() + 1, count) << name;
    }
}

TEST(VornParameterIdsTest, TargetRowsCarryTheirTargetNumbers) {
    VornPlugin plugin;
    const std::pair<const char*, int> rows[] = {
        {"Master Tune", 0},
        {"Portamento", 1},
        {"Osc 1 Detune", 2},
        {"Osc 1 Pulse Width", 3},
        {"Osc 1 Sync", 4},
        {"Osc 1 Level", 5},
        {"Osc 1 Pan", 6},
        {"Osc 3 Detune", 12},
        {"Osc 3 Pan", 16},
        {"Filter 1 Freq", 17},
        {"Filter 1 Pan", 18},
        {"Filter 1 Peak", 19},
        {"Filter 2 Peak", 22},
        {"Delay L Time", 23},
        {"Delay L Offset", 24},
        {"Delay L Feedback", 25},
        {"Delay L Cross Feedback", 26},
        {"Delay R Cross Feedback", 30},
        {"Delay Filter 1 Freq", 31},
        {"Delay Filter 2 Peak", 36},
        {"Delay Level", 37},
        {"Delay Pan", 38},
        {"Dry Level", 39},
        {"Dry Pan", 40},
        {"XLFO 1 Frequency", 41},
        {"XLFO 1 Glide", 42},
        {"XLFO 1 Phase Offset", 43},
        {"XLFO 6 Phase Offset", 58},
        {"EG Main Hold", 59},
        {"EG Main Delay", 60},
        {"EG Main Attack", 61},
        {"EG Main Decay", 62},
        {"EG Main Sustain", 63},
        {"EG Main Release", 64},
        {"EG 6 Release", 94},
        {"EF 1 Attack", 95},
        {"EF 1 Release", 96},
        {"EF 4 Release", 102},
        {"Output Volume", 103},
        {"Output Pan", 104},
        {"Stereo", 105},
        {"Unison Spread", 106},
        {"Slot 1 Level", 107},
        {"Slot 4 Level", 110},
        {"Slot 50 Level", 156},
    };
    for (const auto& [name, target] : rows) {
        AbstractPluginParameter* p = findParameter(plugin, name);
        ASSERT_NE(p, nullptr) << name;
        EXPECT_EQ(plugin.targetOfParameter(p), target) << name;
        EXPECT_EQ(plugin.targetParameter(target), p) << name;
    }
    // Every target has its own continuous parameter; lists and untargeted rows have none.
    std::set<const AbstractPluginParameter*> seen;
    for (int t = 0; t < kModulationTargetCount; ++t) {
        const AbstractPluginParameter* p = plugin.targetParameter(t);
        ASSERT_NE(p, nullptr) << t;
        EXPECT_EQ(p->kind(), AbstractPluginParameter::kContinuous) << t;
        EXPECT_TRUE(seen.insert(p).second) << t;
    }
    EXPECT_EQ(plugin.targetParameter(157), nullptr);
    for (const char* name : {"Osc 1 Scale", "XLFO 1 Frequency Offset", "XLFO 1 Balance",
                             "EG 2 Threshold", "XY Controller 1 Hor", "Slot 1 Source"}) {
        EXPECT_EQ(plugin.targetOfParameter(findParameter(plugin, name)), -1) << name;
    }
}

TEST(VornParameterIdsTest, OnlyFourSettingsOfTheMainEnvelopeAreHiddenFromAutomation) {
    VornPlugin plugin;
    std::set<std::string> hidden;
    for (int id = 0; id < plugin.getParameterCount(); ++id) {
        const AbstractPluginParameter* p = plugin.getParameter(id);
        if (!p->isAutomatable()) hidden.insert(p->name());
    }
    EXPECT_EQ(hidden, (std::set<std::string>{"EG Main Delay", "EG Main Range", "EG Main Threshold",
                                             "EG Main Triggering"}));
    EXPECT_EQ(plugin.getParameter(531)->name(), "EG Main Delay");
    EXPECT_TRUE(findParameter(plugin, "EG 2 Delay")->isAutomatable());
}

TEST(VornParameterIdsTest, ListsKnowTheirCountsSourcesAndTargets) {
    VornPlugin plugin;
    VornPlugin::Parameters& p = plugin.parameters();

    struct Row {
        AbstractParameterSetList* list;
        int entries, minimum, maximum, active;
    };
    const Row rows[] = {
        {&p.xyControllers, 4, 0, 4, 0}, {&p.xlfos, 6, 0, 6, 0},         {&p.envelopes, 6, 1, 6, 1},
        {&p.followers, 4, 0, 4, 0},     {&p.midiSources, 10, 0, 10, 0}, {&p.slots, 50, 0, 50, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.list->getCount(), row.entries) << row.list->name();
        EXPECT_EQ(row.list->numActive().getMinimum(), row.minimum) << row.list->name();
        EXPECT_EQ(row.list->numActive().getMaximum(), row.maximum) << row.list->name();
        EXPECT_EQ(row.list->activeCount(), row.active) << row.list->name();
        EXPECT_EQ(row.list->numActive().getDefault(), row.active) << row.list->name();
    }
    for (int j = 0; j < 6; ++j) {
        auto& steps = p.xlfos[j].steps;
        EXPECT_EQ(steps.getCount(), 16);
        EXPECT_EQ(steps.numActive().getMinimum(), 1);
        EXPECT_EQ(steps.numActive().getMaximum(), 16);
        EXPECT_EQ(steps.activeCount(), 2);
        EXPECT_EQ(steps.numActive().name(), "Num Active XLFO " + std::to_string(j + 1) + " Steps");
        // The steps move with their XLFO: 8 own parameters, the count, 16 steps of 4.
        EXPECT_EQ(p.xlfos[j].parameters().size(), 73u);
    }

    EXPECT_EQ(p.xyControllers.firstSource(), 0);
    EXPECT_EQ(p.xyControllers.sourcesPerEntry(), 2);
    EXPECT_EQ(p.xyControllers.targetsPerEntry(), 0);
    EXPECT_EQ(p.xlfos.firstSource(), 8);
    EXPECT_EQ(p.xlfos.firstTarget(), 41);
    EXPECT_EQ(p.xlfos.targetsPerEntry(), 3);
    EXPECT_EQ(p.envelopes.firstSource(), 14);
    EXPECT_EQ(p.envelopes.firstTarget(), 59);
    EXPECT_EQ(p.envelopes.targetsPerEntry(), 6);
    EXPECT_EQ(p.followers.firstSource(), 20);
    EXPECT_EQ(p.followers.firstTarget(), 95);
    EXPECT_EQ(p.followers.targetsPerEntry(), 2);
    EXPECT_EQ(p.midiSources.firstSource(), 24);
    EXPECT_EQ(p.midiSources.sourcesPerEntry(), 1);
    EXPECT_EQ(p.slots.firstTarget(), 107);
    EXPECT_EQ(p.slots.targetsPerEntry(), 1);
    // Last source: 24 + 10 - 1.
    EXPECT_EQ(p.midiSources.firstSource() + p.midiSources.getCount() - 1,
              kModulationSourceCount - 1);
}

TEST(VornParameterIdsTest, VirtualMidiParametersFollowTheHostParameters) {
    VornPlugin plugin;
    VornPlugin::Parameters& p = plugin.parameters();
    const std::pair<const char*, std::pair<const char*, const char*>> rows[] = {
        {"Filter Link Freq", {"Filter 1 Freq", "Filter 2 Freq"}},
        {"Filter Link Peak", {"Filter 1 Peak", "Filter 2 Peak"}},
        {"Delay Filter Link Freq", {"Delay Filter 1 Freq", "Delay Filter 2 Freq"}},
        {"Delay Filter Link Peak", {"Delay Filter 1 Peak", "Delay Filter 2 Peak"}},
    };
    ASSERT_EQ(plugin.virtualParameters().size(), 4u);
    for (uint32_t i = 0; i < 4; ++i) {
        const auto* v =
            dynamic_cast<const MidiMultiVirtualPluginParameter*>(plugin.virtualParameters()[i]);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->id(), 0x100000u + i);
        EXPECT_EQ(v->name(), rows[i].first);
        EXPECT_EQ(plugin.virtualParameter(0x100000u + i), v);
        ASSERT_EQ(v->linkedParameters().size(), 2u);
        EXPECT_EQ(v->linkedParameters()[0]->name(), rows[i].second.first);
        EXPECT_EQ(v->linkedParameters()[1]->name(), rows[i].second.second);
    }
    EXPECT_EQ(&p.filterLinkFreq, plugin.virtualParameter(0x100000u));
    EXPECT_EQ(plugin.virtualParameter(0x100004u), nullptr);
    EXPECT_EQ(plugin.virtualParameter(882), nullptr);
    EXPECT_EQ(plugin.getParameterCount(), 883);
}

TEST(VornParameterIdsTest, SlotListsOfferTheSourceAndTargetNames) {
    VornPlugin plugin;
    const AbstractPluginParameter* source = findParameter(plugin, "Slot 3 Source");
    EXPECT_EQ(source->formatValue(0), "< Source >");
    EXPECT_EQ(source->formatValue(1), "XY 1 Hor");
    EXPECT_EQ(source->formatValue(15), "EG Main");
    EXPECT_EQ(source->formatValue(34), "MIDI 10");
    const AbstractPluginParameter* target = findParameter(plugin, "Slot 3 Target");
    EXPECT_EQ(target->formatValue(0), "< Target >");
    EXPECT_EQ(target->formatValue(1), "Master Tune");
    EXPECT_EQ(target->formatValue(111), "Slot 4 Level");
    EXPECT_EQ(target->formatValue(157), "Slot 50 Level");
    float plain = 0.0f;
    EXPECT_TRUE(target->parseText("eg 1 attack", &plain));
    EXPECT_EQ(plain, 62.0f);
}

}  // namespace
