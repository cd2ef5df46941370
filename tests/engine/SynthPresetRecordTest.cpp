#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/VornPlugin.h"
#include "framework/AbstractPluginParameter.h"
#include "framework/StateSnapshot.h"
#include "persistence/VersionPresetLoader.h"
#include "tests/engine/VornParameterTestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr int kParameters = 883;

// The generic record rules (counts, cuts, byte layout, missing files) are tested with the record
// itself; here the versions the synthesizer reads and how older layouts map onto today's
// parameters.
class SynthPresetRecordTest : public SharedPluginTest {
protected:
    void SetUp() override {
        for (int i = 0; i < plugin().getParameterCount(); ++i) {
            AbstractPluginParameter* q = plugin().getParameter(i);
            q->setValue(q->getDefault(), 0);
        }
    }
    static float value(const std::string& name) { return p(name).getValue(); }
    // A value inside the parameter's range, different for each `seed`.
    static float valueFor(const AbstractPluginParameter& q, int seed) {
        const float lo = q.getMinimum();
        const float hi = q.getMaximum();
        if (q.kind() == AbstractPluginParameter::kIndexed)
            return lo + static_cast<float>(seed % (static_cast<int>(hi - lo) + 1));
        return lo + static_cast<float>(seed % 7 + 1) / 8.0f * (hi - lo);
    }
    static Bytes record(const char* identifier, int32_t version, const std::vector<float>& values) {
        Bytes b(identifier, identifier + 4);
        const auto append = [&b](const void* v) {
            b.insert(b.end(), static_cast<const uint8_t*>(v), static_cast<const uint8_t*>(v) + 4);
        };
        const auto count = static_cast<int32_t>(values.size());
        append(&version);
        append(&count);
        for (const float& v : values) append(&v);
        return b;
    }
};

// "Wet Enabled" is the user's own and survives every load; a refused record changes nothing.
TEST_F(SynthPresetRecordTest, VersionsTheSynthesizerReads) {
    struct Row {
        const char* identifier;
        int version, count;
        bool loads;
    };
    const Row rows[] = {
        {"QV2i", 8, 883, true},  {"QV2i", 8, 0, true},    {"QV2i", 6, 734, true},
        {"QVoi", 4, 197, true},  {"QVoi", 3, 196, true},  {"QVoi", 1, 170, true},
        {"QV2i", 5, 883, false}, {"QV2i", 7, 883, false}, {"QV2i", 9, 883, false},
        {"QV2i", 4, 197, false}, {"QVoi", 6, 734, false}, {"QVoi", 8, 883, false},
        {"QV2j", 8, 883, false},
    };
    for (const float wet : {0.0f, 1.0f}) {
        for (const Row& r : rows) {
            SCOPED_TRACE(testing::Message() << r.identifier << " " << r.version << " " << wet);
            p("Wet Enabled").setValue(wet, 0);
            const std::vector<float> before = captureValues(plugin());
            const std::vector<float> values(static_cast<size_t>(r.count), 1.0f - wet);
            EXPECT_EQ(loadSynthPreset(plugin(), record(r.identifier, r.version, values)), r.loads);
            EXPECT_EQ(value("Wet Enabled"), wet);
            if (!r.loads) {
                EXPECT_EQ(captureValues(plugin()), before);
            }
        }
    }
}

// Version 6 is the current layout without the oscillators' "Phase Sync" and XLFOs 5 and 6.
TEST_F(SynthPresetRecordTest, Version6MapsByNameAndRenumbersSlotSourcesAndTargets) {
    std::vector<AbstractPluginParameter*> layout;
    for (int i = 0; i < kParameters; ++i) {
        AbstractPluginParameter* q = plugin().getParameter(i);
        const std::string& n = q->name();
        if (n.find("Phase Sync") == std::string::npos && n.find("XLFO 5 ") == std::string::npos &&
            n.find("XLFO 6 ") == std::string::npos)
            layout.push_back(q);
    }
    ASSERT_EQ(layout.size(), 734u);
    std::vector<float> values;
    for (size_t i = 0; i < layout.size(); ++i)
        values.push_back(valueFor(*layout[i], static_cast<int>(i)));
    const auto at = [&](const std::string& name) -> float& {
        for (size_t i = 0; i < layout.size(); ++i) {
            if (layout[i]->name() == name) return values[i];
        }
        ADD_FAILURE() << name;
        return values[0];
    };
    // Stored as number + 1: old source 12 was "EG Main" with four XLFOs, old target 53 the first
    // envelope target; XLFO 4 and its last target keep their numbers; the last source and target
    // then are the last now.
    const int slots[4][4] = {{13, 54, 15, 60}, {12, 53, 12, 53}, {0, 0, 0, 0}, {32, 151, 34, 157}};
    at("Num Active XLFOs") = 4;
    for (int s = 0; s < 4; ++s) {
        at("Slot " + std::to_string(s + 1) + " Source") = static_cast<float>(slots[s][0]);
        at("Slot " + std::to_string(s + 1) + " Target") = static_cast<float>(slots[s][1]);
    }
    p("Osc 1 Phase Sync").setValue(1.0f, 0);
    p("XLFO 5 Frequency").setValue(0.9f, 0);
    ASSERT_TRUE(loadSynthPreset(plugin(), record("QV2i", 6, values)));
    for (size_t i = 0; i < layout.size(); ++i) {
        const std::string& n = layout[i]->name();
        if (n == "Wet Enabled" ||
            (n.rfind("Slot ", 0) == 0 && (n.ends_with(" Source") || n.ends_with(" Target"))))
            continue;
        ASSERT_EQ(layout[i]->getValue(), values[i]) << n;
    }
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(value("Slot " + std::to_string(s + 1) + " Source"), slots[s][2]) << s;
        EXPECT_EQ(value("Slot " + std::to_string(s + 1) + " Target"), slots[s][3]) << s;
    }
    EXPECT_EQ(value("Osc 1 Phase Sync"), p("Osc 1 Phase Sync").getDefault());
    EXPECT_EQ(value("XLFO 5 Frequency"), p("XLFO 5 Frequency").getDefault());
}

// The earlier generation's version 4: 197 values in its own order ("" has no parameter).
TEST_F(SynthPresetRecordTest, OldGenerationVersion4MapsValuesAndConvertsItsLFOsAndSlots) {
    std::vector<std::string> names;
    using Names = std::vector<std::string>;
    const auto add = [&names](const Names& prefixes, const Names& items) {
        for (const std::string& prefix : prefixes) {
            for (const std::string& item : items) names.push_back(prefix + item);
        }
    };
    const Names filter = {" Freq", " Pan", " Peak", " Characteristic", " Response", " Slope"};
    add({"Master"}, {" Tune", " Scale"});
    add({"Osc 1", "Osc 2", "Osc 3"},
        {" Detune", " Scale", " Wave Form", " Sync", " Pulse Width", " Level", " Pan"});
    add({""}, {"Ring Modulation Enabled", "Portamento", "Portamento Mode"});
    add({"Filter 1", "Filter 2"}, filter);
    add({"Filter Routing"}, {""});
    add({"Delay L", "Delay R"}, {" Time", " Offset", " Sync", " Feedback", " Cross Feedback"});
    add({"Delay "}, {"Link", "Filter Routing"});
    add({"Delay Filter 1", "Delay Filter 2"}, filter);
    add({""}, {"Delay Enabled", "Delay Level", "Delay Pan", "Wet Enabled", "Dry Level", "Dry Pan"});
    const size_t firstLFO = names.size();
    names.resize(names.size() + 21);  // three LFOs of seven values
    add({"EG Main", "EG 2", "EG 3", "EG 4"},
        {" Delay", " Attack", " Hold", " Decay", " Sustain", " Release"});
    add({"MIDI Source 1", "MIDI Source 2"}, {" Input", " Controller Number", " Response Curve"});
    add({""}, {"Output Volume", "Output Pan", "Stereo", "", "", "Polyphony"});
    const size_t voices = names.size() - 3;
    const size_t firstSlot = names.size();
    for (int s = 1; s <= 23; ++s) add({""}, {"", "Slot " + std::to_string(s) + " Level", ""});
    add({""}, {"Unison Spread", "Audition Signal"});
    ASSERT_EQ(names.size(), 197u);

    std::vector<float> values(names.size(), 0.0f);
    for (size_t i = 0; i < names.size(); ++i) {
        if (!names[i].empty()) values[i] = valueFor(p(names[i]), static_cast<int>(i));
    }
    // LFO 1: enabled square at frequency 0.3, MIDI trigger, sync mode 5; LFO 2 off; LFO 3 a saw
    // that only a slot uses.
    const float lfos[3][7] = {{1, 0.3f, 1, 0.25f, -0.5f, 1, 5},
                              {0, 0.6f, 0, 0, 0, 0, 0},
                              {0, 0.1f, 2, 0.5f, 0.5f, 0, 11}};
    for (int g = 0; g < 3; ++g) {
        for (int k = 0; k < 7; ++k) values[firstLFO + 7 * g + k] = lfos[g][k];
    }
    values[voices] = 5;      // five voices: the list's first entry with at least five is 6
    values[voices + 1] = 2;  // two unison voices
    // Old source, old target; then today's (stored as number + 1). Old sources: 3 = LFO 3 ->
    // XLFO 3 (10), 4 = first envelope (14), 9 = MIDI source 2 (25). Old targets up to 41 keep
    // their numbers; 42 has no counterpart.
    const float slots[4][4] = {{3, 5, 11, 5}, {4, 17, 15, 17}, {9, 42, 26, 0}, {0, 0, 0, 0}};
    for (int s = 0; s < 4; ++s) {
        values[firstSlot + 3 * s] = slots[s][0];
        values[firstSlot + 3 * s + 2] = slots[s][1];
    }

    p("Osc 1 Enabled").setValue(0.0f, 0);
    p("EG 5 Attack").setValue(p("EG 5 Attack").getMaximum(), 0);
    p("Wet Enabled").setValue(1.0f, 0);
    ASSERT_TRUE(loadSynthPreset(plugin(), record("QVoi", 4, values)));

    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].empty() || names[i] == "Wet Enabled") continue;
        ASSERT_EQ(value(names[i]), values[i]) << names[i];
    }
    // Parameters the old generation lacked are at their defaults.
    EXPECT_EQ(value("Osc 1 Enabled"), p("Osc 1 Enabled").getDefault());
    EXPECT_EQ(value("EG 5 Attack"), p("EG 5 Attack").getDefault());
    const std::pair<const char*, float> converted[] = {
        {"Num Active EGs", 4},
        {"Num Active MIDI Sources", 2},
        // LFOs 1-3 became XLFOs 1-3; the third is active because slot 1 uses it.
        {"Num Active XLFOs", 3},
        {"XLFO 1 Frequency", 0.3f},
        {"XLFO 1 Phase Offset", 0.25f},
        {"XLFO 1 Glide", -0.5f},
        {"XLFO 1 MIDI Trigger", 1},
        {"XLFO 1 Sync Mode", 5},
        {"Num Active XLFO 1 Steps", 2},
        // Square: high, then low, no glide; saw up: glide up, drop.
        {"XLFO 1 Step 1 Value", 1},
        {"XLFO 1 Step 2 Value", -1},
        {"XLFO 1 Step 1 Glide", 0},
        {"XLFO 3 Step 1 Value", -1},
        {"XLFO 3 Step 1 Glide", 1},
        {"XLFO 3 Step 2 Glide", 0},
        {"XLFO 3 Sync Mode", 11},
        {"Num Active Slots", 3},
        {"Wet Enabled", 1}};
    for (const auto& [name, expected] : converted) EXPECT_EQ(value(name), expected) << name;
    EXPECT_EQ(p("Total Voices").formatValue(value("Total Voices")), "6");
    EXPECT_EQ(p("Unison Voices").formatValue(value("Unison Voices")), "2");
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(value("Slot " + std::to_string(s + 1) + " Source"), slots[s][2]) << s;
        EXPECT_EQ(value("Slot " + std::to_string(s + 1) + " Target"), slots[s][3]) << s;
    }
}

TEST_F(SynthPresetRecordTest, OldGenerationEarlierVersionsHaveTheirOwnLengths) {
    // Version 1: 15 slots, no seventh LFO value, two dropped globals; version 3 adds the two
    // values at the end. A short version 3 record (194 values) leaves them at their defaults.
    std::vector<float> v1(170, 0.0f);
    v1[2] = 0.5f;  // Osc 1 Detune
    p("Unison Spread").setValue(0.0f, 0);
    ASSERT_TRUE(loadSynthPreset(plugin(), record("QVoi", 1, v1)));
    EXPECT_EQ(value("Osc 1 Detune"), 0.5f);
    EXPECT_EQ(value("XLFO 1 Sync Mode"), 0.0f);

    std::vector<float> v3(196, 0.0f);
    v3[194] = 0.125f;  // Unison Spread
    ASSERT_TRUE(loadSynthPreset(plugin(), record("QVoi", 3, v3)));
    EXPECT_EQ(value("Unison Spread"), 0.125f);
    v3.resize(194);
    ASSERT_TRUE(loadSynthPreset(plugin(), record("QVoi", 3, v3)));
    EXPECT_EQ(value("Unison Spread"), p("Unison Spread").getDefault());
}

}  // namespace
