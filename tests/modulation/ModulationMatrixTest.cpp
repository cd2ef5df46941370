#include <gtest/gtest.h>

#include "modulation/ModulationMatrix.h"
#include "modulation/SynthTargetGroups.h"
#include "tests/modulation/ModulationTestRig.h"
#include "tests/support/AllocationCounter.h"

namespace {

using modtest::kBlock;
using modtest::Rig;
using modtest::TestSource;

constexpr int kXlfo = 0;     // a global source
constexpr int kEg = 6;       // a source that exists per voice
constexpr int kEgOther = 7;  // a second per-voice source
constexpr int kPlainTarget = 2;
constexpr int kPanTarget = 6;    // bounds [-1, 1]
constexpr int kDelayLTime = 23;  // bounds [10, 5000], per-source factors

TEST(ModulationMatrix, GlobalSourceMovesGlobalTargetOncePerBlockAndClamps) {
    Rig rig;
    TestSource xlfo(rig.env);
    rig.matrix.setSourceEntry(kXlfo, &xlfo, 0);
    rig.matrix.setTargetBaseValue(kPlainTarget, 0.2f, 0.0f);
    rig.connect(0, kXlfo, kPlainTarget, 0.5f);
    EXPECT_EQ(rig.matrix.slot(0).state, ModulationMatrix::kStateGlobal);
    EXPECT_TRUE(rig.matrix.target(kPlainTarget).globalOnly);

    VoiceMatrix voiceA(rig.matrix);
    VoiceMatrix voiceB(rig.matrix);
    const float values[] = {0.4f, -0.2f, 3.0f, -3.0f};
    const float expected[] = {0.4f, 0.1f, 1.0f, 0.0f};  // base + 0.5 * value, clamped to [0, 1]
    for (int b = 0; b < 4; ++b) {
        xlfo.setConstant(values[b]);
        rig.block();
        const auto g = rig.pullGlobal(kPlainTarget);
        EXPECT_TRUE(rig.matrix.globalProducer(kPlainTarget).isConstant());
        for (float v : g) EXPECT_FLOAT_EQ(v, expected[b]);
        // Voices share the one global signal.
        EXPECT_EQ(voiceA.target(kPlainTarget).pull(kBlock, 0),
                  rig.matrix.globalProducer(kPlainTarget).outputData());
        EXPECT_EQ(rig.pull(voiceB.target(kPlainTarget)), g);
        rig.finish();
    }

    // A varying source is summed per sample.
    xlfo.setRamp(0.0f, 0.01f);
    rig.block();
    const auto g = rig.pullGlobal(kPlainTarget);
    EXPECT_FALSE(rig.matrix.globalProducer(kPlainTarget).isConstant());
    for (uint32_t i = 0; i < kBlock; ++i) EXPECT_FLOAT_EQ(g[i], 0.2f + 0.005f * i);
}

TEST(ModulationMatrix, PerVoiceSourceMakesGlobalTargetPerVoiceWithSourceFactors) {
    Rig rig;
    assignSynthTargetGroups(rig.matrix);
    EXPECT_FLOAT_EQ(rig.matrix.target(kDelayLTime).upper, 5000.0f);
    EXPECT_FLOAT_EQ(rig.matrix.target(kDelayLTime).lower, 10.0f);
    EXPECT_TRUE(rig.matrix.target(kDelayLTime).alternateSource);
    EXPECT_FLOAT_EQ(rig.matrix.target(64).lower, 0.0058f);  // EG 1 Release
    EXPECT_FLOAT_EQ(rig.matrix.target(60).upper, 1.0f);     // EG 1 Delay has no group

    constexpr int kKey = 2;  // factor 1000 on the delay times
    rig.matrix.setSourceEntry(kEg, nullptr, kKey);
    rig.matrix.setTargetBaseValue(kDelayLTime, 100.0f, 0.0f);
    rig.connect(0, kEg, kDelayLTime, 0.5f);
    EXPECT_EQ(rig.matrix.slot(0).state, ModulationMatrix::kStatePerVoice);
    EXPECT_FALSE(rig.matrix.target(kDelayLTime).globalOnly);

    VoiceMatrix v1(rig.matrix);
    VoiceMatrix v2(rig.matrix);
    TestSource eg1(rig.env), eg2(rig.env), eg1Alt(rig.env);
    eg1.setConstant(0.9f);
    eg1Alt.setConstant(0.2f);
    eg2.setConstant(20.0f);
    v1.setSourceInstance(kEg, &eg1);
    v1.setSourceInstance(modtest::kSources + kEg, &eg1Alt);  // the delay time reads this one
    v2.setSourceInstance(kEg, &eg2);

    rig.block();
    EXPECT_FLOAT_EQ(rig.pullGlobal(kDelayLTime)[0], 100.0f);
    EXPECT_FLOAT_EQ(rig.pull(v1.target(kDelayLTime))[kBlock - 1], 100.0f + 0.2f * 0.5f * 1000.0f);
    // Falls back on the first set, then clamps to the upper bound.
    EXPECT_FLOAT_EQ(rig.pull(v2.target(kDelayLTime))[0], 5000.0f);

    // Removing the slot makes the target global again.
    rig.matrix.setSlotTarget(0, -1);
    EXPECT_TRUE(rig.matrix.target(kDelayLTime).globalOnly);
}

TEST(ModulationMatrix, InvertFlipsSignAndLevelOfLevelMultiplies) {
    Rig rig;
    assignSynthTargetGroups(rig.matrix);
    TestSource a(rig.env), b(rig.env);
    a.setConstant(0.8f);
    b.setConstant(0.4f);
    rig.matrix.setSourceEntry(0, &a, 0);
    rig.matrix.setSourceEntry(1, &b, 0);
    rig.matrix.setTargetBaseValue(kPanTarget, 0.1f, 0.0f);
    rig.connect(0, 0, kPanTarget, 0.5f);
    rig.connect(1, 1, modtest::kFirstLevel + 0, 0.25f);  // modulates slot 0's level

    // base + a * (level0 + b * level1)
    rig.block();
    EXPECT_FLOAT_EQ(rig.pullGlobal(kPanTarget)[0], 0.1f + 0.8f * (0.5f + 0.4f * 0.25f));
    rig.finish();

    InternalController c(rig.matrix);
    c.setInverted(0, true);
    EXPECT_FLOAT_EQ(c.getSlotLevel(0), 0.5f);
    rig.block();
    EXPECT_FLOAT_EQ(rig.pullGlobal(kPanTarget)[0], 0.1f - 0.8f * (0.5f + 0.4f * 0.25f));
    rig.finish();

    // Inverting the level's modulator only flips its own share.
    c.setInverted(0, false);
    c.setInverted(1, true);
    rig.block();
    EXPECT_FLOAT_EQ(rig.pullGlobal(kPanTarget)[0], 0.1f + 0.8f * (0.5f - 0.4f * 0.25f));
    rig.finish();

    // Bypassing takes the slot out without touching its values.
    c.setBypassed(1, true);
    EXPECT_EQ(rig.matrix.slot(1).state, ModulationMatrix::kStateInactive);
    rig.block();
    EXPECT_FLOAT_EQ(rig.pullGlobal(kPanTarget)[0], 0.1f + 0.8f * 0.5f);
    rig.finish();
    EXPECT_TRUE(c.isInverted(1));
    EXPECT_FLOAT_EQ(c.getSlotLevel(1), 0.25f);
}

TEST(ModulationMatrix, PerVoiceLevelModulationMakesTheModulatedSlotPerVoice) {
    Rig rig;
    TestSource a(rig.env), eg(rig.env);
    a.setConstant(0.5f);
    eg.setConstant(0.3f);
    rig.matrix.setSourceEntry(0, &a, 0);
    rig.matrix.setSourceEntry(kEg, nullptr, 0);
    rig.connect(0, 0, kPlainTarget, 0.5f);
    EXPECT_EQ(rig.matrix.slot(0).state, ModulationMatrix::kStateGlobal);
    rig.connect(1, kEg, modtest::kFirstLevel + 0, 1.0f);
    EXPECT_EQ(rig.matrix.slot(0).state, ModulationMatrix::kStatePerVoice);
    EXPECT_FALSE(rig.matrix.target(kPlainTarget).globalOnly);

    VoiceMatrix v(rig.matrix);
    v.setSourceInstance(kEg, &eg);
    rig.block();
    EXPECT_FLOAT_EQ(rig.pullGlobal(kPlainTarget)[0], 0.0f);
    EXPECT_FLOAT_EQ(rig.pull(v.target(kPlainTarget))[0], 0.5f * (0.5f + 0.3f));
    rig.finish();
    // The modulated amount stays within the Level's range.
    eg.setConstant(0.9f);
    rig.block();
    EXPECT_FLOAT_EQ(rig.pull(v.target(kPlainTarget))[0], 0.5f * 1.0f);
    rig.finish();

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
    TestSource eg(rig.env), other(rig.env);
    eg.setRamp(-2.0f, 0.25f);  // beyond the bounds: audio targets are not clamped
    other.setConstant(0.3f);
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
    rig.connect(2, kXlfo, modtest::kFirstLevel + 1, 0.5f);
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
