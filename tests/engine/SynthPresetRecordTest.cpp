#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "engine/VornPlugin.h"
#include "framework/AbstractPluginParameter.h"
#include "framework/StateSnapshot.h"
#include "persistence/BinaryDataReader.h"
#include "persistence/ParameterRecord.h"
#include "persistence/VersionPresetLoader.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr int kParameters = 883;
constexpr int kVersion = VornPlugin::kStateVersion;

// One synthesizer for all tests: building one is slow.
class SynthPresetRecordTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { plugin_ = new VornPlugin(); }
    static void TearDownTestSuite() {
        delete plugin_;
        plugin_ = nullptr;
    }
    void SetUp() override { resetAll(); }

    static VornPlugin& plugin() { return *plugin_; }
    static AbstractPluginParameter& p(const std::string& name) {
        for (int i = 0; i < plugin().getParameterCount(); ++i) {
            if (plugin().getParameter(i)->name() == name) return *plugin().getParameter(i);
        }
        ADD_FAILURE() << "no parameter " << name;
        return *plugin().getParameter(0);
    }
    static float value(const std::string& name) { return p(name).getValue(); }
    static void resetAll() {
        for (int i = 0; i < plugin().getParameterCount(); ++i) {
            AbstractPluginParameter* q = plugin().getParameter(i);
            q->setValue(q->getDefault(), 0);
        }
    }
    // A value inside the parameter's range, different for each `seed`.
    static float valueFor(const AbstractPluginParameter& q, int seed) {
        const float lo = q.getMinimum();
        const float hi = q.getMaximum();
        const int steps = 7;
        const float fraction = static_cast<float>(seed % steps + 1) / (steps + 1);
        if (q.kind() == AbstractPluginParameter::kIndexed)
            return lo + static_cast<float>(seed % (static_cast<int>(hi - lo) + 1));
        return lo + fraction * (hi - lo);
    }
    static void randomize(std::mt19937& random) {
        for (int i = 0; i < plugin().getParameterCount(); ++i) {
            AbstractPluginParameter* q = plugin().getParameter(i);
            if (q->kind() == AbstractPluginParameter::kIndexed) {
                std::uniform_int_distribution<int> d(static_cast<int>(q->getMinimum()),
                                                     static_cast<int>(q->getMaximum()));
                q->setValue(static_cast<float>(d(random)), 0);
            } else {
                std::uniform_real_distribution<float> d(q->getMinimum(), q->getMaximum());
                q->setValue(d(random), 0);
            }
        }
    }
    static Bytes header(const char (&identifier)[5], int32_t version, int32_t count) {
        Bytes b(identifier, identifier + 4);
        append(b, &version);
        append(b, &count);
        return b;
    }
    template <typename T>
    static void append(Bytes& b, const T* v) {
        const auto* raw = reinterpret_cast<const uint8_t*>(v);
        b.insert(b.end(), raw, raw + 4);
    }
    static Bytes record(const char (&identifier)[5], int32_t version,
                        const std::vector<float>& values) {
        Bytes b = header(identifier, version, static_cast<int32_t>(values.size()));
        for (const float& v : values) append(b, &v);
        return b;
    }

    static VornPlugin* plugin_;
};

VornPlugin* SynthPresetRecordTest::plugin_ = nullptr;

TEST_F(SynthPresetRecordTest, SavedPresetIsThe883ValueRecordOfVersion8) {
    ASSERT_EQ(plugin().getParameterCount(), kParameters);
    p("Osc 2 Level").setValue(0.25f, 0);
    const std::string path = ::testing::TempDir() + "synth-preset.qvp";
    ASSERT_TRUE(
        ParameterRecord::writeCollection(ParameterCollection::of(plugin()), path, kVersion));
    std::ifstream file(path, std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 3544u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 12),
              (Bytes{'Q', 'V', '2', 'i', 8, 0, 0, 0, 0x73, 0x03, 0, 0}));
    const int level = static_cast<int>(p("Osc 2 Level").id());
    float stored = 0.0f;
    std::memcpy(&stored, bytes.data() + 12 + 4 * level, 4);
    EXPECT_EQ(stored, 0.25f);

    resetAll();
    ASSERT_TRUE(loadSynthPresetFile(plugin(), path));
    EXPECT_EQ(value("Osc 2 Level"), 0.25f);
}

TEST_F(SynthPresetRecordTest, ThousandRandomStatesRoundTripBitExact) {
    std::mt19937 random(20240611);
    AbstractPluginParameter& wet = p("Wet Enabled");
    for (int round = 0; round < 1000; ++round) {
        randomize(random);
        const std::vector<float> saved = captureValues(plugin());
        const Bytes bytes = ParameterRecord::encode(ParameterCollection::of(plugin()), kVersion);
        randomize(random);
        const float wetBefore = wet.getValue();
        ASSERT_TRUE(loadSynthPreset(plugin(), bytes)) << round;
        std::vector<float> loaded = captureValues(plugin());
        ASSERT_EQ(loaded[wet.id()], wetBefore) << round;
        loaded[wet.id()] = saved[wet.id()];
        ASSERT_EQ(std::memcmp(loaded.data(), saved.data(), sizeof(float) * saved.size()), 0)
            << round;
    }
}

TEST_F(SynthPresetRecordTest, RefusedVersionsAndIdentifiersChangeNothing) {
    std::vector<float> values(kParameters, 0.0f);
    p("Osc 1 Level").setValue(0.5f, 0);
    const std::vector<float> before = captureValues(plugin());
    EXPECT_FALSE(loadSynthPreset(plugin(), record("QV2i", 5, values)));
    EXPECT_FALSE(loadSynthPreset(plugin(), record("QV2i", 7, values)));
    EXPECT_FALSE(loadSynthPreset(plugin(), record("QV2i", 9, values)));
    EXPECT_FALSE(loadSynthPreset(plugin(), record("QV2i", 4, std::vector<float>(197))));
    EXPECT_FALSE(loadSynthPreset(plugin(), record("QVoi", 6, std::vector<float>(734))));
    EXPECT_FALSE(loadSynthPreset(plugin(), record("QVoi", 8, values)));
    EXPECT_FALSE(loadSynthPreset(plugin(), record("QV2j", 8, values)));
    EXPECT_FALSE(loadSynthPresetFile(plugin(), ::testing::TempDir() + "missing.qvp"));
    EXPECT_EQ(captureValues(plugin()), before);
}

TEST_F(SynthPresetRecordTest, CountRulesHoldForTheSynthesizer) {
    // Count 0: every parameter to its default.
    std::mt19937 random(7);
    randomize(random);
    ASSERT_TRUE(loadSynthPreset(plugin(), record("QV2i", 8, {})));
    for (int i = 0; i < kParameters; ++i) {
        const AbstractPluginParameter* q = plugin().getParameter(i);
        if (q->name() == "Wet Enabled") continue;
        ASSERT_EQ(q->getValue(), q->getDefault()) << q->name();
    }

    // 900 values: the first 883 apply.
    std::vector<float> values(900);
    for (int i = 0; i < 900; ++i)
        values[i] = i < kParameters ? valueFor(*plugin().getParameter(i), i) : 1e9f;
    ASSERT_TRUE(loadSynthPreset(plugin(), record("QV2i", 8, values)));
    EXPECT_EQ(value("Slot 50 Target"), values[882]);
    EXPECT_EQ(value("Osc 1 Detune"), values[2]);

    // Cut after 100 values: those stay applied, the read fails, and no older loader steps in.
    resetAll();
    Bytes cut = record("QV2i", 8, std::vector<float>(values.begin(), values.begin() + kParameters));
    cut.resize(12 + 4 * 100 + 2);
    EXPECT_FALSE(loadSynthPreset(plugin(), cut));
    EXPECT_EQ(value("Osc 1 Detune"), values[2]);
    EXPECT_EQ(plugin().getParameter(99)->getValue(), values[99]);
    EXPECT_EQ(plugin().getParameter(100)->getValue(), plugin().getParameter(100)->getDefault());
}

TEST_F(SynthPresetRecordTest, WetEnabledSurvivesEveryLoad) {
    std::vector<float> values = captureValues(plugin());
    for (float wet : {0.0f, 1.0f}) {
        p("Wet Enabled").setValue(wet, 0);
        values[p("Wet Enabled").id()] = 1.0f - wet;
        EXPECT_TRUE(loadSynthPreset(plugin(), record("QV2i", 8, values)));
        EXPECT_EQ(value("Wet Enabled"), wet);
        EXPECT_TRUE(
            loadSynthPreset(plugin(), record("QV2i", 6, std::vector<float>(734, 1.0f - wet))));
        EXPECT_EQ(value("Wet Enabled"), wet);
        EXPECT_TRUE(
            loadSynthPreset(plugin(), record("QVoi", 4, std::vector<float>(197, 1.0f - wet))));
        EXPECT_EQ(value("Wet Enabled"), wet);
        EXPECT_TRUE(loadSynthPreset(plugin(), record("QV2i", 8, {})));
        EXPECT_EQ(value("Wet Enabled"), wet);
    }
}

// Version 6 is the current layout without the oscillators' "Phase Sync" and XLFOs 5 and 6.
TEST_F(SynthPresetRecordTest, Version6MapsByNameAndRenumbersSlotSourcesAndTargets) {
    std::vector<AbstractPluginParameter*> layout;
    for (int i = 0; i < kParameters; ++i) {
        AbstractPluginParameter* q = plugin().getParameter(i);
        const std::string& n = q->name();
        if (n.find("Phase Sync") != std::string::npos || n.find("XLFO 5 ") != std::string::npos ||
            n.find("XLFO 6 ") != std::string::npos)
            continue;
        layout.push_back(q);
    }
    ASSERT_EQ(layout.size(), 734u);
    std::vector<float> values;
    for (size_t i = 0; i < layout.size(); ++i)
        values.push_back(valueFor(*layout[i], static_cast<int>(i)));
    auto at = [&](const std::string& name) -> float& {
        for (size_t i = 0; i < layout.size(); ++i) {
            if (layout[i]->name() == name) return values[i];
        }
        ADD_FAILURE() << name;
        return values[0];
    };
    at("Num Active XLFOs") = 4;
    at("Slot 1 Source") = 13;  // old source 12: "EG Main" when there were four XLFOs
    at("Slot 1 Target") = 54;  // old target 53: the first envelope target
    at("Slot 2 Source") = 12;  // XLFO 4 keeps its number
    at("Slot 2 Target") = 53;  // XLFO 4's last target
    at("Slot 3 Source") = 0;
    at("Slot 3 Target") = 0;
    at("Slot 4 Source") = 32;  // the last source then, the last source now
    at("Slot 4 Target") = 151;

    p("Osc 1 Phase Sync").setValue(1.0f, 0);
    p("XLFO 5 Frequency").setValue(0.9f, 0);
    ASSERT_TRUE(loadSynthPreset(plugin(), record("QV2i", 6, values)));
    for (size_t i = 0; i < layout.size(); ++i) {
        const std::string& n = layout[i]->name();
        if (n.rfind("Slot ", 0) == 0 && (n.ends_with(" Source") || n.ends_with(" Target")))
            continue;
        if (n == "Wet Enabled") continue;
        ASSERT_EQ(layout[i]->getValue(), values[i]) << n;
    }
    EXPECT_EQ(value("Slot 1 Source"), 15.0f);
    EXPECT_EQ(value("Slot 1 Target"), 60.0f);
    EXPECT_EQ(value("Slot 2 Source"), 12.0f);
    EXPECT_EQ(value("Slot 2 Target"), 53.0f);
    EXPECT_EQ(value("Slot 3 Source"), 0.0f);
    EXPECT_EQ(value("Slot 3 Target"), 0.0f);
    EXPECT_EQ(value("Slot 4 Source"), 34.0f);
    EXPECT_EQ(value("Slot 4 Target"), 157.0f);
    EXPECT_EQ(value("Osc 1 Phase Sync"), p("Osc 1 Phase Sync").getDefault());
    EXPECT_EQ(value("XLFO 5 Frequency"), p("XLFO 5 Frequency").getDefault());
}

// The earlier generation's version 4: 197 values in its own order.
TEST_F(SynthPresetRecordTest, OldGenerationVersion4MapsValuesAndConvertsItsLFOsAndSlots) {
    std::vector<std::string> names = {"Master Tune", "Master Scale"};
    for (int k = 1; k <= 3; ++k) {
        for (const char* v :
             {" Detune", " Scale", " Wave Form", " Sync", " Pulse Width", " Level", " Pan"})
            names.push_back("Osc " + std::to_string(k) + v);
    }
    for (const char* n : {"Ring Modulation Enabled", "Portamento", "Portamento Mode"})
        names.push_back(n);
    const char* filterValues[] = {" Freq",           " Pan",      " Peak",
                                  " Characteristic", " Response", " Slope"};
    for (const char* f : {"Filter 1", "Filter 2"}) {
        for (const char* v : filterValues) names.push_back(std::string(f) + v);
    }
    names.push_back("Filter Routing");
    for (const char* d : {"Delay L", "Delay R"}) {
        for (const char* v : {" Time", " Offset", " Sync", " Feedback", " Cross Feedback"})
            names.push_back(std::string(d) + v);
    }
    names.push_back("Delay Link");
    names.push_back("Delay Filter Routing");
    for (const char* f : {"Delay Filter 1", "Delay Filter 2"}) {
        for (const char* v : filterValues) names.push_back(std::string(f) + v);
    }
    for (const char* n :
         {"Delay Enabled", "Delay Level", "Delay Pan", "Wet Enabled", "Dry Level", "Dry Pan"})
        names.push_back(n);
    const size_t firstLFO = names.size();
    for (int i = 0; i < 21; ++i) names.push_back("");  // three LFOs of seven values
    for (const char* eg : {"EG Main", "EG 2", "EG 3", "EG 4"}) {
        for (const char* v : {" Delay", " Attack", " Hold", " Decay", " Sustain", " Release"})
            names.push_back(std::string(eg) + v);
    }
    for (int m = 1; m <= 2; ++m) {
        for (const char* v : {" Input", " Controller Number", " Response Curve"})
            names.push_back("MIDI Source " + std::to_string(m) + v);
    }
    for (const char* n : {"Output Volume", "Output Pan", "Stereo"}) names.push_back(n);
    const size_t voices = names.size();
    names.push_back("");
    names.push_back("");
    names.push_back("Polyphony");
    const size_t firstSlot = names.size();
    for (int s = 1; s <= 23; ++s) {
        names.push_back("");
        names.push_back("Slot " + std::to_string(s) + " Level");
        names.push_back("");
    }
    names.push_back("Unison Spread");
    names.push_back("Audition Signal");
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
    const float slots[4][2] = {{3, 5}, {4, 17}, {9, 42}, {0, 0}};  // old source, old target
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
    EXPECT_EQ(value("Num Active EGs"), 4.0f);
    EXPECT_EQ(value("Num Active MIDI Sources"), 2.0f);
    EXPECT_EQ(p("Total Voices").formatValue(value("Total Voices")), "6");
    EXPECT_EQ(p("Unison Voices").formatValue(value("Unison Voices")), "2");

    // LFOs 1-3 became XLFOs 1-3; the third is active because slot 1 uses it.
    EXPECT_EQ(value("Num Active XLFOs"), 3.0f);
    EXPECT_EQ(value("XLFO 1 Frequency"), 0.3f);
    EXPECT_EQ(value("XLFO 1 Phase Offset"), 0.25f);
    EXPECT_EQ(value("XLFO 1 Glide"), -0.5f);
    EXPECT_EQ(value("XLFO 1 MIDI Trigger"), 1.0f);
    EXPECT_EQ(value("XLFO 1 Sync Mode"), 5.0f);
    EXPECT_EQ(value("Num Active XLFO 1 Steps"), 2.0f);
    EXPECT_EQ(value("XLFO 1 Step 1 Value"), 1.0f);  // square: high, then low, no glide
    EXPECT_EQ(value("XLFO 1 Step 2 Value"), -1.0f);
    EXPECT_EQ(value("XLFO 1 Step 1 Glide"), 0.0f);
    EXPECT_EQ(value("XLFO 3 Step 1 Value"), -1.0f);  // saw up: glide up, drop
    EXPECT_EQ(value("XLFO 3 Step 1 Glide"), 1.0f);
    EXPECT_EQ(value("XLFO 3 Step 2 Glide"), 0.0f);
    EXPECT_EQ(value("XLFO 3 Sync Mode"), 11.0f);

    // Old sources: 3 = LFO 3 -> XLFO 3 (source 10), 4 = first envelope (14), 9 = MIDI source 2
    // (25); stored as number + 1. Old targets up to 41 keep their numbers.
    EXPECT_EQ(value("Slot 1 Source"), 11.0f);
    EXPECT_EQ(value("Slot 1 Target"), 5.0f);
    EXPECT_EQ(value("Slot 2 Source"), 15.0f);
    EXPECT_EQ(value("Slot 2 Target"), 17.0f);
    EXPECT_EQ(value("Slot 3 Source"), 26.0f);
    EXPECT_EQ(value("Slot 3 Target"), 0.0f);  // 42 had no counterpart
    EXPECT_EQ(value("Num Active Slots"), 3.0f);
    EXPECT_EQ(value("Wet Enabled"), 1.0f);
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
