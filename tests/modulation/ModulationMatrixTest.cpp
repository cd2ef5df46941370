#include <gtest/gtest.h>

#include "modulation/ModulationMatrix.h"
#include "modulation/SynthTargetGroups.h"
#include "tests/modulation/ModulationTestRig.h"
#include "tests/support/AllocationCounter.h"

namespace {

using modtest::kBlock;
using modtest::kFirstLevel;
using modtest::Rig;
using modtest::TestSource;

constexpr int kXlfo = 0;     // a global source
constexpr int kEg = 6;       // a source that exists per voice
constexpr int kEgOther = 7;  // a second per-voice source
constexpr int kPlainTarget = 2;
constexpr int kPanTarget = 6;    // bounds [-1, 1]
constexpr int kDelayLTime = 23;  // bounds [10, 5000], per-source factors

// Bounds and alternate-source flag of every target, by the synthesizer's group table.
TEST(ModulationMatrix, SynthTargetGroupsBoundEveryTarget) {
    Rig rig;
    assignSynthTargetGroups(rig.matrix);
    struct Bounds {
        float upper = 1.0f, lower = 0.0f;
        bool alternate = false;
    };
    std::vector<Bounds> expected(modtest::kTargets);
    for (int t : {23, 27}) expected[t] = {5000.0f, 10.0f, true};
    for (int t : {6, 11, 16, 38, 40}) expected[t] = {1.0f, -1.0f, false};
    expected[105] = {1.5f, 0.0f, false};
    // Hold, Delay, Attack, Decay, (Sustain: none), Release of every EG; EG 1 has no Delay group.
    const Bounds eg[] = {{19, 0, true},     {5, 0, true}, {18, 0.001f, true},
                         {21, 0.03f, true}, {},           {23, 0.0058f, true}};
    for (int i = 0; i < 6; ++i) {
        for (int k : {0, 1, 2, 3, 5}) {
            if (k != 1 || i > 0) expected[59 + 6 * i + k] = eg[k];
        }
    }
    for (int e = 0; e < 4; ++e) {
        expected[95 + 2 * e] = {1.0f, 0.001f, true};
        expected[96 + 2 * e] = {5.0f, 0.05f, true};
    }
    for (int t = 0; t < modtest::kTargets; ++t) {
        EXPECT_FLOAT_EQ(rig.matrix.target(t).upper, expected[t].upper) << t;
        EXPECT_FLOAT_EQ(rig.matrix.target(t).lower, expected[t].lower) << t;
        EXPECT_EQ(rig.matrix.target(t).alternateSource, expected[t].alternate) << t;
    }

    // Per-source factors of the delay times by source key (XY, free XLFO, envelope, follower,
    // MIDI, retriggered XLFO); another key gets the default 1.
    rig.matrix.setSlotLevel(0, 1.0f);
    rig.matrix.setSlotTarget(0, kDelayLTime);
    const float factors[] = {500.0f, 500.0f, 1000.0f, 500.0f, 500.0f, 500.0f, 1.0f};
    for (int key = 0; key < 7; ++key) {
        rig.matrix.setSourceEntry(key, nullptr, key);
        rig.matrix.setSlotSource(0, key);
        EXPECT_FLOAT_EQ(rig.matrix.target(kFirstLevel).scale, factors[key]) << key;
    }
}

// Per-sample sums are checked by the batch test below.
TEST(ModulationMatrix, GlobalSourceMovesGlobalTargetOncePerBlockAndClamps) {
    Rig rig;
    TestSource xlfo(rig.env);
    rig.matrix.setSourceEntry(kXlfo, &xlfo, 0);
    rig.matrix.setTargetBaseValue(kPlainTarget, 0.2f, 0.0f);
    rig.connect(0, kXlfo, kPlainTarget, 0.5f);
    EXPECT_EQ(rig.matrix.slot(0).state, ModulationMatrix::kStateGlobal);
    EXPECT_TRUE(rig.matrix.target(kPlainTarget).globalOnly);
    VoiceMatrix voiceA(rig.matrix);
    // base + 0.5 * value, clamped to [0, 1]
    const std::pair<float, float> cases[] = {
        {0.4f, 0.4f}, {-0.2f, 0.1f}, {3.0f, 1.0f}, {-3.0f, 0.0f}};
    for (const auto& [value, sum] : cases) {
        xlfo.setConstant(value);
        rig.block();
        const auto g = rig.pullGlobal(kPlainTarget);
        EXPECT_TRUE(rig.matrix.globalProducer(kPlainTarget).isConstant());
        for (float v : g) EXPECT_FLOAT_EQ(v, sum);
        // Voices share the one global signal.
        EXPECT_EQ(voiceA.target(kPlainTarget).pull(kBlock, 0),
                  rig.matrix.globalProducer(kPlainTarget).outputData());
        rig.finish();
    }
}

TEST(ModulationMatrix, PerVoiceSourceMakesGlobalTargetPerVoiceWithSourceFactors) {
    Rig rig;
    assignSynthTargetGroups(rig.matrix);
    constexpr int kKey = 2;  // factor 1000 on the delay times
    rig.matrix.setSourceEntry(kEg, nullptr, kKey);
    rig.matrix.setTargetBaseValue(kDelayLTime, 100.0f, 0.0f);
    rig.connect(0, kEg, kDelayLTime, 0.5f);
    EXPECT_EQ(rig.matrix.slot(0).state, ModulationMatrix::kStatePerVoice);
    EXPECT_FALSE(rig.matrix.target(kDelayLTime).globalOnly);

    VoiceMatrix v1(rig.matrix);
    VoiceMatrix v2(rig.matrix);
    TestSource eg1(rig.env, 0.9f), eg2(rig.env, 20.0f), eg1Alt(rig.env, 0.2f);
    v1.setSourceInstance(kEg, &eg1);
    v1.setSourceInstance(modtest::kSources + kEg, &eg1Alt);  // the delay time reads this one
    v2.setSourceInstance(kEg, &eg2);

    rig.block();
    EXPECT_FLOAT_EQ(rig.pullGlobal(kDelayLTime)[0], 100.0f);
    EXPECT_FLOAT_EQ(rig.pull(v1.target(kDelayLTime))[kBlock - 1], 100.0f + 0.2f * 0.5f * 1000.0f);
    // Falls back on the first set, then clamps to the upper bound.
    EXPECT_FLOAT_EQ(rig.pull(v2.target(kDelayLTime))[0], 5000.0f);
    // Constant inputs give a constant block; the same value after a moving block refills it.
    EXPECT_TRUE(v1.target(kDelayLTime).isConstant());
    rig.finish();
    eg1Alt.setRamp(0.2f, 0.001f);
    rig.block();
    EXPECT_FLOAT_EQ(rig.pull(v1.target(kDelayLTime))[kBlock - 1], 100.0f + 0.231f * 500.0f);
    EXPECT_FALSE(v1.target(kDelayLTime).isConstant());
    rig.finish();
    eg1Alt.setConstant(0.2f);
    rig.block();
    for (const float v : rig.pull(v1.target(kDelayLTime))) EXPECT_FLOAT_EQ(v, 200.0f);
    rig.finish();
    rig.block();

    // Removing the slot makes the target global again.
    rig.matrix.setSlotTarget(0, -1);
    EXPECT_TRUE(rig.matrix.target(kDelayLTime).globalOnly);
}

// Amount = Level x depth of the target, x -1 when inverted; a slot on another slot's level adds
// to that level.
TEST(ModulationMatrix, DepthInvertAndLevelOfLevelMultiply) {
    Rig rig;
    assignSynthTargetGroups(rig.matrix);
    rig.matrix.setTargetRange(kPlainTarget, -8.0f, 8.0f, 4.0f);
    TestSource a(rig.env, 0.8f), b(rig.env, 0.4f);
    rig.matrix.setSourceEntry(0, &a, 0);
    rig.matrix.setSourceEntry(1, &b, 0);
    rig.matrix.setTargetBaseValue(kPanTarget, 0.1f, 0.0f);
    rig.connect(0, 0, kPanTarget, 0.5f);
    rig.connect(1, 1, kFirstLevel + 0, 0.25f);  // modulates slot 0's level
    rig.connect(2, 0, kPlainTarget, 0.5f);
    InternalController c(rig.matrix);

    struct Case {
        bool invert0, invert1, bypass1;
        float pan;
    };
    const Case cases[] = {
        {false, false, false, 0.1f + 0.8f * (0.5f + 0.4f * 0.25f)},
        {true, false, false, 0.1f - 0.8f * (0.5f + 0.4f * 0.25f)},
        {false, true, false, 0.1f + 0.8f * (0.5f - 0.4f * 0.25f)},  // flips only its own share
        {false, true, true, 0.1f + 0.8f * 0.5f},                    // bypassed: out, values kept
    };
    for (const Case& k : cases) {
        c.setInverted(0, k.invert0);
        c.setInverted(1, k.invert1);
        c.setBypassed(1, k.bypass1);
        rig.block();
        EXPECT_FLOAT_EQ(rig.pullGlobal(kPanTarget)[0], k.pan) << k.invert0 << k.invert1;
        EXPECT_FLOAT_EQ(rig.pullGlobal(kPlainTarget)[0], 0.8f * 0.5f * 4.0f);
        rig.finish();
    }
    EXPECT_EQ(rig.matrix.slot(1).state, ModulationMatrix::kStateInactive);
    EXPECT_TRUE(c.isInverted(1));
    EXPECT_FLOAT_EQ(c.getSlotLevel(1), 0.25f);
}

TEST(ModulationMatrix, PerVoiceLevelModulationMakesTheModulatedSlotPerVoice) {
    Rig rig;
    TestSource a(rig.env, 0.5f), eg(rig.env);
    rig.matrix.setSourceEntry(0, &a, 0);
    rig.matrix.setSourceEntry(kEg, nullptr, 0);
    rig.connect(0, 0, kPlainTarget, 0.5f);
    EXPECT_EQ(rig.matrix.slot(0).state, ModulationMatrix::kStateGlobal);
    rig.connect(1, kEg, kFirstLevel + 0, 1.0f);
    EXPECT_EQ(rig.matrix.slot(0).state, ModulationMatrix::kStatePerVoice);
    EXPECT_FALSE(rig.matrix.target(kPlainTarget).globalOnly);

    VoiceMatrix v(rig.matrix);
    v.setSourceInstance(kEg, &eg);
    // The modulated amount stays within the Level's range.
    for (const auto& [level, amount] : {std::pair{0.3f, 0.8f}, std::pair{0.9f, 1.0f}}) {
        eg.setConstant(level);
        rig.block();
        EXPECT_FLOAT_EQ(rig.pullGlobal(kPlainTarget)[0], 0.0f);
        EXPECT_FLOAT_EQ(rig.pull(v.target(kPlainTarget))[0], 0.5f * amount);
        rig.finish();
    }
    rig.matrix.setSlotSource(1, -1);
    EXPECT_EQ(rig.matrix.slot(0).state, ModulationMatrix::kStateGlobal);
    EXPECT_TRUE(rig.matrix.target(kPlainTarget).globalOnly);
}

TEST(ModulationMatrix, AudioTargetFastPathEqualsGeneralPath) {
    Rig rig;
    constexpr int kAudioGroup = 3;
    constexpr int kFast = 8;
    constexpr int kGeneral = 9;
    rig.matrix.setGroup(kAudioGroup, {1.0f, 0.0f, ModulationMatrix::kKindAudio, 1.0f, {}});
    rig.matrix.assignTargetGroup(kFast, kAudioGroup);
    rig.matrix.assignTargetGroup(kGeneral, kAudioGroup);
    rig.matrix.setSourceEntry(kEg, nullptr, 0);
    rig.matrix.setSourceEntry(kEgOther, nullptr, 0);
    rig.connect(0, kEg, kFast, 0.7f);
    rig.connect(1, kEg, kGeneral, 0.7f);
    rig.connect(2, kEgOther, kGeneral, 0.0f);  // forces the summing loop, adds nothing

    VoiceMatrix v(rig.matrix);
    TestSource eg(rig.env), other(rig.env, 0.3f);
    eg.setRamp(-2.0f, 0.25f);  // beyond the bounds: audio targets are not clamped
    v.setSourceInstance(kEg, &eg);
    v.setSourceInstance(kEgOther, &other);
    rig.block();
    const auto fast = rig.pull(v.target(kFast));
    const auto general = rig.pull(v.target(kGeneral));
    for (uint32_t i = 0; i < kBlock; ++i) {
        EXPECT_FLOAT_EQ(fast[i], 0.7f * (-2.0f + 0.25f * i));
        EXPECT_FLOAT_EQ(fast[i], general[i]);
    }
    rig.finish();

    // An amount of exactly 1 passes the source through untouched.
    rig.matrix.setSlotLevel(0, 1.0f);
    rig.block();
    EXPECT_EQ(v.target(kFast).pull(kBlock, 0), eg.pull(kBlock, 0));
}

TEST(ModulationMatrix, BatchDefersActivationAndNothingAllocatesWhileRendering) {
    Rig rig;
    TestSource xlfo(rig.env), eg(rig.env);
    xlfo.setRamp(0.0f, 0.01f);
    eg.setRamp(1.0f, -0.01f);
    rig.matrix.setSourceEntry(kXlfo, &xlfo, 0);
    rig.matrix.setSourceEntry(kEg, nullptr, 0);

    rig.matrix.beginEdit();
    rig.matrix.beginEdit();
    rig.connect(0, kXlfo, kPlainTarget, 0.5f);
    rig.connect(1, kEg, kPlainTarget, 0.5f);
    rig.connect(2, kXlfo, kFirstLevel + 1, 0.5f);
    rig.matrix.endEdit();
    EXPECT_EQ(rig.matrix.slot(0).state, ModulationMatrix::kStateInactive);
    rig.matrix.endEdit();
    EXPECT_EQ(rig.matrix.slot(0).state, ModulationMatrix::kStateGlobal);
    EXPECT_EQ(rig.matrix.slot(1).state, ModulationMatrix::kStatePerVoice);
    EXPECT_EQ(rig.matrix.slot(2).state, ModulationMatrix::kStateGlobal);

    // An inactive list entry invalidates its slots.
    rig.matrix.setSourceActive(kXlfo, false);
    EXPECT_EQ(rig.matrix.slot(0).state, ModulationMatrix::kStateInactive);
    rig.matrix.setSourceActive(kXlfo, true);
    EXPECT_EQ(rig.matrix.slot(0).state, ModulationMatrix::kStateGlobal);

    VoiceMatrix v(rig.matrix);
    v.setSourceInstance(kEg, &eg);
    std::vector<float> out(kBlock);
    AllocationGuard guard;
    for (int b = 0; b < 8; ++b) {
        rig.block();
        const float* p = v.target(kPlainTarget).pull(kBlock, 0);
        std::copy(p, p + kBlock, out.begin());
        rig.finish();
    }
    EXPECT_EQ(guard.allocations(), 0u);
    // xlfo * 0.5 + eg * (0.5 + xlfo * 0.5), clamped to [0, 1]
    for (uint32_t i = 0; i < kBlock; ++i) {
        const float x = 0.01f * i;
        const float e = 1.0f - 0.01f * i;
        EXPECT_NEAR(out[i], std::clamp(x * 0.5f + e * (0.5f + x * 0.5f), 0.0f, 1.0f), 1e-6f);
    }
}

}  // namespace
