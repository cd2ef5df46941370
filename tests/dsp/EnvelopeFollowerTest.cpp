#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "dsp/EnvelopeFollower.h"
#include "dsp/GainAdjuster.h"
#include "dsp/SignalSmoother.h"
#include "tests/dsp/EnvelopeTestRig.h"
#include "tests/support/AllocationCounter.h"

namespace {

using envtest::run;

// First index from `from` on at which x reaches the level (from below when rising).
size_t crossing(const std::vector<float>& x, size_t from, float level, bool rising) {
    for (size_t i = from; i < x.size(); ++i) {
        if (rising ? x[i] >= level : x[i] <= level) return i;
    }
    return x.size();
}

TEST(EnvelopeFollowerTest, MapsMinusSixtyToZeroDecibelsOntoZeroToOne) {
    wave::Environment env(envtest::kBlock);
    envtest::Playback input(env);
    EnvelopeFollower follower(env);
    follower.setInput(&input);
    follower.defaultRelease().setTarget(0.01f, 0.0f);
    const auto settle = [&](float level) {
        input.play(std::vector<float>(48000, level));
        return run(env, follower, 48000).back();
    };
    // From rest, -60 dBFS and quieter give exactly 0.
    EXPECT_EQ(settle(0.001f), 0.0f);
    EXPECT_EQ(settle(1e-4f), 0.0f);
    EXPECT_NEAR(settle(1.0f), 1.0f, 1e-6);
    // A float state stops short once its steps fall below half a unit of its last place.
    EXPECT_NEAR(settle(0.1f), 40.0f / 60.0f, 1e-5);  // -20 dBFS
    EXPECT_NEAR(settle(0.5f), (60.0f + 20.0f * std::log10(0.5f)) / 60.0f, 1e-5);
    EXPECT_NEAR(settle(2.0f), (60.0f + 20.0f * std::log10(2.0f)) / 60.0f, 1e-5);
    // Falling from a loud level the state ends where the denormal guard's quantum stops it.
    EXPECT_LT(settle(0.001f), 1e-30f);
    EXPECT_LT(settle(0.0f), 1e-30f);
}

TEST(EnvelopeFollowerTest, StepsAreNinetyPercentDoneAfterTheAttackAndReleaseTimes) {
    wave::Environment env(envtest::kBlock);
    env.setSampleRate(48000.0f);
    envtest::Playback input(env);
    EnvelopeFollower follower(env);
    follower.setInput(&input);
    follower.defaultAttack().setTarget(0.01f, 0.0f);  // 480 samples
    follower.defaultRelease().setTarget(0.1f, 0.0f);  // 4800 samples
    std::vector<float> step(20000, 0.0f);
    std::fill(step.begin() + 1000, step.begin() + 10000, 1.0f);
    input.play(step);
    const std::vector<float> out = run(env, follower, step.size());
    EXPECT_EQ(out[999], 0.0f);
    // The 480th update after the step (index 1479) completes 90 % of it.
    EXPECT_NEAR(out[1479], 0.9f, 1e-4);
    EXPECT_NEAR(static_cast<double>(crossing(out, 1000, 0.9f, true)), 1479.0, 1.0);
    // A float state stops a hair short of the target when the steps become too small.
    const float top = out[9999];
    EXPECT_NEAR(top, 1.0f, 1e-5);
    EXPECT_NEAR(out[10000 + 4799], 0.1f * top, 1e-5);
    EXPECT_NEAR(static_cast<double>(crossing(out, 10000, 0.1f * top, false)), 14799.0, 1.0);
}

TEST(EnvelopeFollowerTest, FollowsWhileOnlyAdvancedAndDoesNotAllocate) {
    wave::Environment env(envtest::kBlock);
    envtest::Playback input(env);
    EnvelopeFollower follower(env);
    follower.setInput(&input);
    EXPECT_EQ(follower.sourceMode(), wave::Environment::kModeAdvance);
    input.play(std::vector<float>(8192, 1.0f));
    AllocationGuard guard;
    for (int chunk = 0; chunk < 128; ++chunk) {
        env.beginChunk();
        env.finishChunk(64, false);  // nobody pulls: the run list advances it
    }
    EXPECT_EQ(guard.allocations(), 0u);
    EXPECT_NEAR(follower.state(), 60.0f, 1e-4);
}

TEST(SignalSmootherTest, CriticallyDampedLowPass) {
    wave::Environment env(envtest::kBlock);
    env.setSampleRate(48000.0f);
    envtest::Playback input(env);
    SignalSmoother smoother(env);
    smoother.setInput(&input);
    EXPECT_FLOAT_EQ(smoother.coefficient(), 2.0f * std::sin(3.14159265f * 5.0f / 48000.0f));
    smoother.frequency = 100.0f;
    EXPECT_FLOAT_EQ(smoother.coefficient(), 2.0f * std::sin(3.14159265f * 100.0f / 48000.0f));

    // Step response: no overshoot, settles at 1.
    input.play(std::vector<float>(9600, 1.0f));
    const std::vector<float> step = run(env, smoother, 9600);
    for (size_t i = 1; i < step.size(); ++i) ASSERT_GE(step[i], step[i - 1]) << i;
    EXPECT_LE(step.back(), 1.0f);
    EXPECT_NEAR(step.back(), 1.0f, 1e-4);

    // A sine at the cut-off passes at half amplitude (-6 dB), a decade above at 1/100.
    const auto amplitude = [&](double f) {
        smoother.reset();
        std::vector<float> x(48000);
        for (size_t i = 0; i < x.size(); ++i) x[i] = std::sin(2.0 * M_PI * f * i / 48000.0);
        input.play(x);
        const std::vector<float> y = run(env, smoother, x.size());
        return *std::max_element(y.begin() + 24000, y.end());
    };
    EXPECT_NEAR(amplitude(100.0), 0.5, 0.01);
    EXPECT_NEAR(amplitude(1000.0), 0.01, 0.002);

    // Rectified, a negative step smooths to +1; reset clears the state.
    smoother.rectify = true;
    smoother.reset();
    input.play(std::vector<float>(9600, -1.0f));
    EXPECT_NEAR(run(env, smoother, 9600).back(), 1.0f, 1e-4);
    smoother.reset();
    input.play({});
    EXPECT_EQ(run(env, smoother, 64)[0], 0.0f);

    // From a quarter of the rate on the coefficient is capped.
    smoother.frequency = 12000.0f;
    EXPECT_FLOAT_EQ(smoother.coefficient(), SignalSmoother::kMaxCoefficient);
}

TEST(GainAdjusterTest, ScalesByTheLimitedEnvelopeRatio) {
    wave::Environment env(envtest::kBlock);
    envtest::Playback signal(env);
    envtest::Playback reference(env);
    envtest::Playback measured(env);
    GainAdjuster adjuster(env);
    adjuster.setInput(&signal);
    adjuster.gain().setTarget(-0.5f, 0.0f);

    // Without envelopes the input passes unchanged, gain and all.
    signal.play(std::vector<float>(64, 0.8f));
    std::vector<float> out = run(env, adjuster, 64);
    EXPECT_EQ(out[0], 0.8f);

    adjuster.setReferenceEnvelope(&reference);
    adjuster.setMeasuredEnvelope(&measured);
    signal.play(std::vector<float>(8, 0.8f));
    reference.play({0.5f, 2.0f, 0.01f, 1.0f, 0.3f, 0.0f, 0.2f, 0.4f});
    measured.play({1.0f, 1.0f, 1.0f, 0.0f, 0.6f, 0.5f, 0.4f, -1.0f});
    out = run(env, adjuster, 8);
    const float expected[8] = {0.5f, 1.0f, 0.1f, 1.0f, 0.5f, 0.1f, 0.5f, 1.0f};
    for (int i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(out[i], 0.8f * -0.5f * expected[i]) << i;

    // The gain is clamped to -1..1.
    adjuster.gain().setTarget(3.0f, 0.0f);
    EXPECT_EQ(adjuster.gain().target(), 1.0f);
}

}  // namespace

namespace {

// Infinity reads as the loudest finite level and NaN as silence: the level never leaves the
// finite numbers and falls back as usual once the input is sane again.
TEST(EnvelopeFollowerTest, NonFiniteInputLeavesTheLevelFinite) {
    wave::Environment env(envtest::kBlock);
    env.setSampleRate(48000.0f);
    envtest::Playback input(env);
    EnvelopeFollower follower(env);
    follower.setInput(&input);
    follower.defaultRelease().setTarget(0.01f, 0.0f);
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> x(4800, inf);
    for (size_t i = 1; i < x.size(); i += 2) x[i] = i % 3 ? std::nanf("") : -inf;
    x.resize(x.size() + 48000, 0.5f);
    input.play(x);
    const std::vector<float> out = run(env, follower, x.size());
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return std::isfinite(v); }));
    EXPECT_GT(*std::max_element(out.begin(), out.end()), 10.0f);  // about +770 dBFS
    EXPECT_NEAR(out.back(), (60.0f + 20.0f * std::log10(0.5f)) / 60.0f, 1e-5);
}

}  // namespace
