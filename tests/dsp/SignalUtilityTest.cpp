#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <numeric>
#include <vector>

#include "dsp/DcBlocker.h"
#include "dsp/EnvelopeFollower.h"
#include "dsp/GainAdjuster.h"
#include "dsp/SignalSmoother.h"
#include "dsp/SoftLimiter.h"
#include "tests/dsp/DspTestRig.h"
#include "wave/StaticMixer.h"

namespace {

using dsptest::render;

struct FollowerRig {
    FollowerRig() : env(48000.0f), input(env), follower(env) { follower.setInput(&input); }
    dsptest::Env env;
    dsptest::Playback input;
    EnvelopeFollower follower;
};

TEST(EnvelopeFollowerTest, MapsMinusSixtyToZeroDecibelsOntoZeroToOneWithTheStageTimes) {
    FollowerRig rig;
    rig.follower.defaultRelease().setTarget(0.01f, 0.0f);
    const auto settle = [&](float level) {
        rig.input.play(std::vector<float>(48000, level));
        return render(rig.env, rig.follower, 48000).back();
    };
    // From rest, -60 dBFS and quieter give exactly 0.
    EXPECT_EQ(settle(0.001f), 0.0f);
    EXPECT_EQ(settle(1e-4f), 0.0f);
    // A float state stops short once its steps fall below half a unit of its last place.
    for (const float level : {1.0f, 0.1f, 0.5f, 2.0f}) {
        EXPECT_NEAR(settle(level), (60.0f + 20.0f * std::log10(level)) / 60.0f, 1e-5) << level;
    }
    // Falling from a loud level the state ends where the denormal guard's quantum stops it.
    EXPECT_LT(settle(0.001f), 1e-30f);
    EXPECT_LT(settle(0.0f), 1e-30f);

    // Steps are ninety percent done after the attack (480 samples) and release (4800) times.
    FollowerRig timed;
    timed.follower.defaultAttack().setTarget(0.01f, 0.0f);
    timed.follower.defaultRelease().setTarget(0.1f, 0.0f);
    std::vector<float> step(20000, 0.0f);
    std::fill(step.begin() + 1000, step.begin() + 10000, 1.0f);
    timed.input.play(step);
    const std::vector<float> out = render(timed.env, timed.follower, step.size());
    EXPECT_EQ(out[999], 0.0f);
    // The 480th update after the step (index 1479) completes 90 % of it.
    EXPECT_NEAR(out[1479], 0.9f, 1e-4);
    const float top = out[9999];
    EXPECT_NEAR(top, 1.0f, 1e-5);
    EXPECT_NEAR(out[10000 + 4799], 0.1f * top, 1e-5);

    // Nobody pulls: the run list advances it.
    timed.input.play(std::vector<float>(8192, 1.0f));
    dsptest::render(timed.env, {}, 8192);
    EXPECT_NEAR(timed.follower.state(), 60.0f, 1e-3);
}

// Step response without overshoot; -6 dB at the cut-off, 1/100 a decade above; rectified, a
// negative step smooths to +1.
TEST(SignalSmootherTest, CriticallyDampedLowPass) {
    FollowerRig rig;
    SignalSmoother smoother(rig.env);
    smoother.setInput(&rig.input);
    smoother.frequency = 100.0f;
    rig.input.play(std::vector<float>(9600, 1.0f));
    const std::vector<float> step = render(rig.env, smoother, 9600);
    EXPECT_TRUE(std::is_sorted(step.begin(), step.end()));
    EXPECT_LE(step.back(), 1.0f);
    EXPECT_NEAR(step.back(), 1.0f, 1e-4);
    for (const auto& [f, amplitude] : {std::pair{100.0, 0.5}, std::pair{1000.0, 0.01}}) {
        smoother.reset();
        rig.input.setGenerator(dsptest::sineOf(f, 1.0, 48000.0));
        const std::vector<float> y = render(rig.env, smoother, 48000);
        EXPECT_NEAR(*std::max_element(y.begin() + 24000, y.end()), amplitude, amplitude / 50) << f;
    }
    smoother.rectify = true;
    smoother.reset();
    rig.input.play(std::vector<float>(9600, -1.0f));
    EXPECT_NEAR(render(rig.env, smoother, 9600).back(), 1.0f, 1e-4);
}

TEST(GainAdjusterTest, ScalesByTheLimitedEnvelopeRatio) {
    wave::Environment env(dsptest::kBlock);
    dsptest::Playback signal(env), reference(env), measured(env);
    GainAdjuster adjuster(env);
    adjuster.setInput(&signal);
    adjuster.gain().setTarget(-0.5f, 0.0f);

    // Without envelopes the input passes unchanged, gain and all.
    signal.play(std::vector<float>(64, 0.8f));
    EXPECT_EQ(render(env, adjuster, 64)[0], 0.8f);

    adjuster.setReferenceEnvelope(&reference);
    adjuster.setMeasuredEnvelope(&measured);
    signal.play(std::vector<float>(8, 0.8f));
    reference.play({0.5f, 2.0f, 0.01f, 1.0f, 0.3f, 0.0f, 0.2f, 0.4f});
    measured.play({1.0f, 1.0f, 1.0f, 0.0f, 0.6f, 0.5f, 0.4f, -1.0f});
    const std::vector<float> out = render(env, adjuster, 8);
    const float ratio[8] = {0.5f, 1.0f, 0.1f, 1.0f, 0.5f, 0.1f, 0.5f, 1.0f};  // within 0.1...1
    for (int i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(out[i], 0.8f * -0.5f * ratio[i]) << i;

    // The gain is clamped to -1..1.
    adjuster.gain().setTarget(3.0f, 0.0f);
    EXPECT_EQ(adjuster.gain().target(), 1.0f);
}

// An offset under a tone goes away within a second; the tone passes at its level, and the
// corner lies at 5 Hz.
TEST(DcBlocker, RemovesOffsetAndKeepsTheTone) {
    constexpr float kRate = 48000.0f;
    dsptest::Env env(kRate, 256);
    const auto tone = dsptest::sineOf(1000.0, 0.5, kRate);
    dsptest::Playback source(env, [&](size_t n) { return 0.3f + tone(n); });
    DcBlocker blocker(env);
    blocker.setInput(&source);
    const std::vector<float> out = dsptest::render(env, blocker, 96000, 256);

    // The last second: mean and level.
    EXPECT_NEAR(std::accumulate(out.begin() + 48000, out.end(), 0.0) / 48000, 0.0, 1e-4);
    EXPECT_NEAR(dsptest::decibels(dsptest::rms(out, 48000) / (0.5 / std::sqrt(2.0))), 0.0, 0.01);

    // The one-pole recursion y = x - x' + r y' in double precision, in chunks of 101: four samples
    // per step stay as close to it as one per step in float (1.1e-6 at a peak of 1.4).
    DcBlocker chunked(env);
    dsptest::Playback noisy(env, [&](size_t n) { return 0.3f + tone(n) + 0.1f * float(n % 7); });
    chunked.setInput(&noisy);
    const std::vector<float> odd = dsptest::render(env, chunked, 4000, 101);
    double x1 = 0.0, y1 = 0.0, worst = 0.0;
    for (size_t n = 0; n < odd.size(); ++n) {
        const double x = 0.3f + tone(n) + 0.1f * float(n % 7);
        y1 = x - x1 + double(chunked.pole()) * y1;
        x1 = x;
        worst = std::max(worst, std::fabs(odd[n] - y1));
    }
    EXPECT_LT(worst, 2e-6);

    // Its impulse response is 3 dB down at the corner.
    DcBlocker fresh(env);
    dsptest::Playback kick(env, dsptest::impulseAt(0));
    fresh.setInput(&kick);
    const std::vector<float> h = dsptest::render(env, fresh, 96000, 256);
    std::complex<double> sum;
    const double w = 2.0 * std::numbers::pi * DcBlocker::kCornerFrequency / kRate;
    for (size_t n = 0; n < h.size(); ++n) sum += double(h[n]) * std::polar(1.0, -w * n);
    EXPECT_NEAR(dsptest::decibels(std::abs(sum)), -3.0, 0.05);

    // Drained, it passes silence on without computing it.
    wave::StaticMixer quiet(env);  // without entries: the silent buffer
    DcBlocker idle(env);
    idle.setInput(&quiet);
    env.beginChunk();
    EXPECT_EQ(idle.pull(256, 0), env.silentBuffer().data());
    env.finishChunk(256, false);
}

// Unity below the threshold, continuous with slope 1 at it, rising towards the ceiling and
// never past it; symmetric; infinities land on the ceiling.
TEST(SoftLimiter, ShapeIsTransparentThenBoundedAndSmooth) {
    constexpr float t = SoftLimiter::kDefaultThreshold;
    constexpr float c = SoftLimiter::kDefaultCeiling;
    for (float x : {0.0f, 0.25f, -0.5f, 0.999f, -1.0f}) EXPECT_EQ(SoftLimiter::shape(x, t, c), x);
    const float h = 1e-3f;
    EXPECT_NEAR((SoftLimiter::shape(t + h, t, c) - SoftLimiter::shape(t, t, c)) / h, 1.0f, 2e-3f);
    float previous = t;
    for (float x = 1.1f; x < 1000.0f; x *= 1.5f) {
        const float y = SoftLimiter::shape(x, t, c);
        EXPECT_TRUE(x < 4.0f ? y > previous : y >= previous) << x;
        EXPECT_LE(y, c);
        EXPECT_EQ(SoftLimiter::shape(-x, t, c), -y);
        previous = y;
    }
    EXPECT_EQ(SoftLimiter::shape(std::numeric_limits<float>::infinity(), t, c), c);
    EXPECT_EQ(SoftLimiter::shape(-std::numeric_limits<float>::infinity(), t, c), -c);
}

}  // namespace
