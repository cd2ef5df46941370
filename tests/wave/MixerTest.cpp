#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "tests/wave/TestSources.h"
#include "wave/Mixer.h"
#include "wave/Router.h"
#include "wave/StaticMixer.h"

namespace wave {
namespace {

using test::expectPattern;
using test::kBlock;
using test::PatternSource;

constexpr uint32_t kFrames = 8;

struct MixerTest : ::testing::Test {
    MixerTest() : env(kBlock) {}

    const float* pull(Producer& p, uint32_t frames = kFrames, uint32_t flags = 0) {
        return test::pullChunk(env, p, frames, flags);
    }

    Environment env;
};

TEST_F(MixerTest, AllNineModes) {
    // s1 = {2, -3, 0.5, 4} at gain 0.5, s2 = {1, 2, -4, 0} at gain 2:
    // s1·g1 = {1, -1.5, 0.25, 2}, |s1|·g1 = {1, 1.5, 0.25, 2}, s2·g2 = {2, 4, -8, 0}.
    const std::array<std::vector<float>, 9> expected = {{
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
            SCOPED_TRACE(testing::Message() << "mode " << mode << " constant " << constantGains);
            Mixer mixer(env, 2);
            mixer.setMode(mode);
            mixer.setSignal(0, &s1);
            mixer.setSignal(1, &s2);
            mixer.setGainTarget(0, 0.5f, 0.0f);
            mixer.gainSource(1).ramp().setLimits(0.0f, 2.0f);
            mixer.setGainTarget(1, 2.0f, 0.0f);
            if (!constantGains) mixer.setGain(1, &blockGain);
            expectPattern(pull(mixer), kFrames, expected[mode]);
        }
    }
}

TEST_F(MixerTest, SumSkipsZeroGainsAndAliasesUnity) {
    PatternSource s1(env, {1.0f, 2.0f, 3.0f, 4.0f}), s2(env, {10.0f, 20.0f, 30.0f, 40.0f});
    Mixer mixer(env, 2);  // summing by default
    mixer.setSignal(0, &s1);
    mixer.setSignal(1, &s2);
    // Gains, and the result: the unity input first, second, and both.
    const struct {
        float g1, g2;
        std::vector<float> out;
    } cases[] = {{1.0f, 0.5f, {6.0f, 12.0f, 18.0f, 24.0f}},
                 {0.25f, 1.0f, {10.25f, 20.5f, 30.75f, 41.0f}},
                 {1.0f, 1.0f, {11.0f, 22.0f, 33.0f, 44.0f}}};
    mixer.setGainTarget(0, 0.0f, 0.0f);
    mixer.setGainTarget(1, 0.0f, 0.0f);
    EXPECT_EQ(pull(mixer), env.silentBuffer().data());
    EXPECT_TRUE(mixer.isConstant());
    EXPECT_EQ(s1.calls + s2.calls, 0);

    mixer.setGainTarget(0, 1.0f, 0.0f);
    const float* out = pull(mixer);
    EXPECT_EQ(out, s1.outputData());  // no copy
    EXPECT_EQ(s2.calls, 0);
    for (const auto& c : cases) {
        mixer.setGainTarget(0, c.g1, 0.0f);
        mixer.setGainTarget(1, c.g2, 0.0f);
        out = pull(mixer);
        EXPECT_NE(out, s1.outputData());
        expectPattern(out, kFrames, c.out);
    }

    // A gain gliding to 0 is not constant yet: its signal is still pulled.
    mixer.setGainTarget(1, 0.0f, 0.0f);
    mixer.setGainTarget(0, 0.0f, 1000.0f);
    EXPECT_FLOAT_EQ(pull(mixer, kBlock)[0], 1.0f);
    EXPECT_FALSE(mixer.isConstant());

    // Silence adds nothing at any gain: alone it leaves the silent buffer, beside a unity input
    // the alias.
    StaticMixer quiet(env);  // without entries: the silent buffer
    mixer.setSignal(0, &quiet);
    mixer.setGainTarget(0, 0.5f, 0.0f);
    EXPECT_EQ(pull(mixer), env.silentBuffer().data());
    EXPECT_TRUE(mixer.isConstant());
    mixer.setGainTarget(1, 1.0f, 0.0f);
    EXPECT_EQ(pull(mixer), s2.outputData());
}

TEST_F(MixerTest, CombinedModesAndInputChanges) {
    PatternSource a(env, {2.0f}), b(env, {5.0f});
    Mixer mixer(env, 3);
    mixer.setMode(static_cast<int>(MixMode::kMaximum));
    EXPECT_EQ(pull(mixer), env.silentBuffer().data());  // no signals
    mixer.setSignal(0, &a);
    mixer.setSignal(2, &b);  // input 1 carries no signal
    mixer.setGainTarget(2, 0.0f, 0.0f);
    EXPECT_FLOAT_EQ(pull(mixer)[0], 2.0f);
    EXPECT_EQ(b.calls, 1);                                // pulled although its gain is 0
    pull(mixer, kFrames, Environment::kFlagAdvanceOnly);  // nothing is pulled
    EXPECT_EQ(a.calls, 1);

    // Fewer inputs, then more: the re-created input has gain 1 and no signal.
    PatternSource gain(env, {3.0f, 0.0f, 1.0f, -1.0f});
    mixer.setMode(static_cast<int>(MixMode::kSum));
    mixer.setInputCount(2);
    mixer.setSignal(1, &b);
    mixer.setGain(1, &gain);
    expectPattern(pull(mixer), kFrames, {17.0f, 2.0f, 7.0f, -3.0f});
    mixer.setInputCount(1);
    EXPECT_EQ(pull(mixer), a.outputData());
    mixer.setInputCount(2);
    EXPECT_EQ(pull(mixer), a.outputData());
    mixer.setSignal(1, &b);
    EXPECT_FLOAT_EQ(pull(mixer)[0], 7.0f);
    mixer.setGain(1, &gain);
    mixer.setGain(1, nullptr);  // back to the own gain source
    EXPECT_FLOAT_EQ(pull(mixer)[1], 7.0f);
}

TEST_F(MixerTest, StaticMixerSumsWithFixedGains) {
    PatternSource a(env, {1.0f, 2.0f, 3.0f, 4.0f}), b(env, {-1.0f, 0.5f, 8.0f, 0.0f});
    // Reports constant while its samples differ: a constant signal is read as one value.
    PatternSource c(env, {3.0f, 100.0f}, true);
    StaticMixer mixer(env);
    EXPECT_EQ(mixer.addEntry(1.0f, &a), 0);
    EXPECT_EQ(mixer.addEntry(0.5f, &b), 1);
    EXPECT_EQ(mixer.addEntry(2.0f, &c), 2);
    mixer.addEntry(4.0f, nullptr);
    expectPattern(test::pullChunk(env, mixer), kBlock, {6.5f, 8.25f, 13.0f, 10.0f});
    EXPECT_FALSE(mixer.isConstant());

    mixer.setEntry(0, 1.0f, nullptr);
    mixer.setSignal(1, nullptr);
    EXPECT_FLOAT_EQ(test::pullChunk(env, mixer)[1], 6.0f);
    EXPECT_TRUE(mixer.isConstant());
    mixer.setSignal(2, nullptr);
    EXPECT_EQ(test::pullChunk(env, mixer), env.silentBuffer().data());
    mixer.setEntry(0, 1.0f, &a);
    test::pullChunk(env, mixer, kBlock, Environment::kFlagAdvanceOnly);
    EXPECT_EQ(a.calls, 1);  // advance only: not pulled
}

TEST_F(MixerTest, RouterCrossfadesOverTwentyMillisecondsFromTheCurrentGains) {
    test::startClock(env, 48000.0f, kBlock);
    PatternSource x0(env, {2.0f}), x1(env, {10.0f});
    Router router(env);
    router.setSignal(0, &x0);
    router.setSignal(1, &x1);
    router.selectNow(0);
    const auto pull = [&] { return test::pullChunk(env, router); };
    const float* out = pull();
    EXPECT_EQ(out, x0.outputData());  // unity gain: no copy
    EXPECT_EQ(x1.calls, 0);           // zero gain: not pulled

    router.setSelection(1);  // 960 samples
    for (int chunk = 0; chunk < 16; ++chunk) {
        out = pull();
        const float g1 = static_cast<float>(chunk * kBlock) / 960.0f;
        EXPECT_NEAR(out[0], 2.0f * (1.0f - g1) + 10.0f * g1, 2e-5f) << chunk;
    }
    EXPECT_NEAR(out[31], 2.0f + 8.0f * 511.0f / 960.0f, 2e-5f);
    // Back to input 0 from the current gains (0.5333 / 0.4667 at sample 512).
    router.setSelection(0);
    out = pull();
    const float g1 = 512.0f / 960.0f;
    EXPECT_NEAR(out[0], 2.0f * (1.0f - g1) + 10.0f * g1, 2e-5f);
    EXPECT_NEAR(out[31], 2.0f + 8.0f * g1 * (1.0f - 31.0f / 960.0f), 2e-5f);
    for (int chunk = 0; chunk < 30; ++chunk) out = pull();
    EXPECT_EQ(out, x0.outputData());

    router.selectNow(1);
    out = pull();
    EXPECT_EQ(out, x1.outputData());
    router.setSignal(1, nullptr);
    EXPECT_EQ(pull(), env.silentBuffer().data());
    const int calls = x0.calls;
    router.selectNow(0);
    test::pullChunk(env, router, kBlock, Environment::kFlagAdvanceOnly);
    EXPECT_EQ(x0.calls, calls);
}

}  // namespace
}  // namespace wave
