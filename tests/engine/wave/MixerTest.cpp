#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "engine/wave/Mixer.h"
#include "tests/engine/wave/TestSources.h"
#include "tests/support/AllocationCounter.h"

namespace wave {
namespace {

using test::PatternSource;

constexpr uint32_t kBlock = 32;
constexpr uint32_t kFrames = 8;

class MixerTest : public ::testing::Test {
protected:
    MixerTest() : env(kBlock) {}

    const float* pullChunk(Producer& p, uint32_t frames = kFrames, uint32_t flags = 0) {
        env.beginChunk();
        const float* out = p.pull(frames, flags);
        env.finishChunk(frames, false);
        return out;
    }

    Environment env;
};

TEST_F(MixerTest, AllNineModes) {
    // s1 = {2, -3, 0.5, 4} at gain 0.5, s2 = {1, 2, -4, 0} at gain 2:
    // s1·g1 = {1, -1.5, 0.25, 2}, |s1|·g1 = {1, 1.5, 0.25, 2}, s2·g2 = {2, 4, -8, 0}.
    const std::array<std::array<float, 4>, 9> expected = {{
        {3.0f, 2.5f, -7.75f, 2.0f},          // sum
        {-1.0f, -5.5f, 8.25f, 2.0f},         // difference
        {2.0f, 4.0f, 8.0f, 2.0f},            // max magnitude
        {2.0f, -6.0f, -2.0f, 0.0f},          // product
        {0.5f, 0.375f, 0.03125f, 0.0f},      // limited ratio, 0 for a zero divisor
        {0.5f, 0.375f, 0.03125f, 2e9f},      // floor ratio: 2 / 1e-9
        {0.5f, 0.375f, 0.03125f, 0.03125f},  // held ratio: the last quotient
        {2.0f, 4.0f, 0.25f, 2.0f},           // maximum
        {1.0f, -1.5f, -8.0f, 0.0f},          // minimum
    }};
    PatternSource s1(env, {2.0f, -3.0f, 0.5f, 4.0f}), s2(env, {1.0f, 2.0f, -4.0f, 0.0f});
    // The second gain as a block that does not report constant, to cover both gain paths.
    PatternSource blockGain(env, {2.0f});
    for (bool constantGains : {true, false}) {
        for (int mode = 0; mode < 9; ++mode) {
            Mixer mixer(env, 2);
            mixer.mode() = mode;
            mixer.setSignal(0, &s1);
            mixer.setSignal(1, &s2);
            mixer.setGainTarget(0, 0.5f, 0.0f);
            if (constantGains) {
                mixer.setGainTarget(1, 2.0f, 0.0f);
                mixer.gainSource(1).ramp().setLimits(0.0f, 2.0f);
                mixer.setGainTarget(1, 2.0f, 0.0f);
            } else {
                mixer.setGain(1, &blockGain);
            }
            const float* out = pullChunk(mixer);
            for (uint32_t i = 0; i < kFrames; ++i) {
                EXPECT_FLOAT_EQ(out[i], expected[mode][i % 4])
                    << "mode " << mode << " sample " << i << " constant " << constantGains;
            }
        }
    }
}

TEST_F(MixerTest, SumSkipsZeroGainsAndAliasesUnity) {
    PatternSource s1(env, {1.0f, 2.0f, 3.0f, 4.0f}), s2(env, {10.0f, 20.0f, 30.0f, 40.0f});
    Mixer mixer(env, 2);
    mixer.setSignal(0, &s1);
    mixer.setSignal(1, &s2);
    mixer.setGainTarget(0, 0.0f, 0.0f);
    mixer.setGainTarget(1, 0.0f, 0.0f);

    AllocationGuard guard;
    const float* out = pullChunk(mixer);
    EXPECT_EQ(out, env.silentBuffer().data());
    EXPECT_TRUE(mixer.isConstant());
    EXPECT_EQ(s1.calls, 0);
    EXPECT_EQ(s2.calls, 0);

    mixer.setGainTarget(0, 1.0f, 0.0f);
    out = pullChunk(mixer);
    EXPECT_EQ(out, s1.outputData());  // no copy
    EXPECT_EQ(s2.calls, 0);

    mixer.setGainTarget(1, 0.5f, 0.0f);
    out = pullChunk(mixer);
    EXPECT_NE(out, s1.outputData());
    for (uint32_t i = 0; i < kFrames; ++i) {
        EXPECT_FLOAT_EQ(out[i], s1.values[i % 4] + 0.5f * s2.values[i % 4]);
    }

    // The unity input second: the pending alias is added to the scaled first one.
    mixer.setGainTarget(0, 0.25f, 0.0f);
    mixer.setGainTarget(1, 1.0f, 0.0f);
    out = pullChunk(mixer);
    for (uint32_t i = 0; i < kFrames; ++i) {
        EXPECT_FLOAT_EQ(out[i], 0.25f * s1.values[i % 4] + s2.values[i % 4]);
    }
    // Two unity inputs: the alias and the second signal are summed into the own buffer.
    mixer.setGainTarget(0, 1.0f, 0.0f);
    out = pullChunk(mixer);
    EXPECT_FLOAT_EQ(out[5], 22.0f);
    EXPECT_EQ(guard.allocations(), 0u);
}

TEST_F(MixerTest, GlidingZeroGainIsNotSkipped) {
    env.beginChunk();
    env.finishChunk(kBlock, true);  // glides need a running clock
    PatternSource s(env, {4.0f});
    Mixer mixer(env, 1);
    mixer.setSignal(0, &s);
    mixer.setGainTarget(0, 0.0f, 1000.0f);  // gliding from 1 towards 0: not constant
    const float* out = pullChunk(mixer, kBlock);
    EXPECT_EQ(s.calls, 1);
    EXPECT_FLOAT_EQ(out[0], 4.0f);
    EXPECT_FALSE(mixer.isConstant());
}

TEST_F(MixerTest, ModeTwoIsTheLargerMagnitude) {
    PatternSource left(env, {0.5f, -0.9f, 0.0f, -0.2f}), right(env, {-0.7f, 0.3f, 0.1f, 0.2f});
    Mixer level(env, 2);
    level.mode() = static_cast<int>(MixMode::kMaxMagnitude);
    level.setSignal(0, &left);
    level.setSignal(1, &right);
    const float* out = pullChunk(level);
    const float expected[4] = {0.7f, 0.9f, 0.1f, 0.2f};
    for (uint32_t i = 0; i < kFrames; ++i) EXPECT_FLOAT_EQ(out[i], expected[i % 4]);
}

TEST_F(MixerTest, ProductIsRingModulation) {
    PatternSource a(env, {0.5f, -1.0f, 0.25f, 2.0f}), b(env, {-0.5f, -0.75f, 4.0f, 0.0f});
    Mixer ring(env, 2);
    ring.mode() = static_cast<int>(MixMode::kProduct);
    ring.setSignal(0, &a);
    ring.setSignal(1, &b);
    const float* out = pullChunk(ring);
    const float expected[4] = {-0.25f, 0.75f, 1.0f, 0.0f};
    for (uint32_t i = 0; i < kFrames; ++i) EXPECT_FLOAT_EQ(out[i], expected[i % 4]);
}

TEST_F(MixerTest, LimitedRatioEdges) {
    // zero divisor, quotient above 1, negative quotient (negative gain), NaN (0 / 0).
    PatternSource num(env, {1.0f, 3.0f, 1.0f, 0.0f}), den(env, {0.0f, 2.0f, 4.0f, 0.0f});
    Mixer ratio(env, 2);
    ratio.mode() = static_cast<int>(MixMode::kLimitedRatio);
    ratio.setSignal(0, &num);
    ratio.setSignal(1, &den);
    const float* out = pullChunk(ratio);
    const float expected[4] = {0.0f, 1.0f, 0.25f, 0.0f};
    for (uint32_t i = 0; i < kFrames; ++i) EXPECT_EQ(out[i], expected[i % 4]) << i;

    ratio.gainSource(0).ramp().setLimits(-1.0f, 1.0f);
    ratio.setGainTarget(0, -1.0f, 0.0f);
    out = pullChunk(ratio);
    EXPECT_EQ(out[2], 0.0f);  // -0.25 limited to 0
}

TEST_F(MixerTest, HeldRatioSurvivesTheBlockBoundary) {
    PatternSource num(env, {3.0f}), den(env, {1.0f, 2.0f, 4.0f, 6.0f});
    Mixer ratio(env, 2);
    ratio.mode() = static_cast<int>(MixMode::kHeldRatio);
    ratio.setSignal(0, &num);
    ratio.setSignal(1, &den);
    EXPECT_FLOAT_EQ(ratio.heldRatio(), 1.0f);

    const uint32_t odd = 7;  // not a group of four: the held state uses exactly these samples
    const float* out = pullChunk(ratio, odd);
    EXPECT_FLOAT_EQ(out[0], 3.0f);
    EXPECT_FLOAT_EQ(out[6], 0.75f);  // 3 / 4
    EXPECT_FLOAT_EQ(ratio.heldRatio(), 0.75f);

    den.values = {0.0f, 1e-10f, 0.0f, 0.0f};
    out = pullChunk(ratio);
    for (uint32_t i = 0; i < kFrames; ++i) EXPECT_FLOAT_EQ(out[i], 0.75f) << i;
    den.values = {0.0f, 0.0f, 2.0f, 0.0f};
    out = pullChunk(ratio);
    EXPECT_FLOAT_EQ(out[1], 0.75f);
    EXPECT_FLOAT_EQ(out[2], 1.5f);
    EXPECT_FLOAT_EQ(out[3], 1.5f);
}

TEST_F(MixerTest, CombinedModesKeepZeroGainsAndSilenceWithoutSignals) {
    PatternSource a(env, {2.0f}), b(env, {5.0f});
    Mixer mixer(env, 3);
    mixer.mode() = static_cast<int>(MixMode::kMaximum);
    EXPECT_EQ(pullChunk(mixer), env.silentBuffer().data());

    mixer.setSignal(0, &a);
    mixer.setSignal(2, &b);  // input 1 carries no signal
    mixer.setGainTarget(2, 0.0f, 0.0f);
    const float* out = pullChunk(mixer);
    EXPECT_EQ(b.calls, 1);  // pulled although its gain is 0
    EXPECT_FLOAT_EQ(out[0], 2.0f);

    // Advance only: nothing is pulled.
    pullChunk(mixer, kFrames, Environment::kFlagAdvanceOnly);
    EXPECT_EQ(a.calls, 1);
}

TEST_F(MixerTest, InputCountAndGainReplacement) {
    PatternSource a(env, {1.0f}), b(env, {2.0f}), gain(env, {3.0f, 0.0f, 1.0f, -1.0f});
    Mixer mixer(env, 1);
    mixer.inputCount() = 2;
    mixer.setSignal(0, &a);
    mixer.setSignal(1, &b);
    mixer.setGain(1, &gain);
    const float* out = pullChunk(mixer);
    const float expected[4] = {7.0f, 1.0f, 3.0f, -1.0f};
    for (uint32_t i = 0; i < kFrames; ++i) EXPECT_FLOAT_EQ(out[i], expected[i % 4]);

    mixer.inputCount() = 1;
    EXPECT_EQ(pullChunk(mixer), a.outputData());
    mixer.inputCount() = 2;  // the re-created input has gain 1 and no signal
    EXPECT_EQ(mixer.signal(1), nullptr);
    EXPECT_EQ(mixer.gain(1), &mixer.gainSource(1));
    mixer.setSignal(1, &b);
    out = pullChunk(mixer);
    EXPECT_FLOAT_EQ(out[0], 3.0f);

    mixer.setGain(1, nullptr);  // back to the own gain source
    EXPECT_EQ(mixer.gain(1), &mixer.gainSource(1));
}

}  // namespace
}  // namespace wave
