#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "dsp/CurveSet.h"
#include "dsp/EnvelopeGenerator.h"
#include "dsp/Spline.h"
#include "dsp/Trigger.h"
#include "tests/dsp/DspTestRig.h"

namespace {

using dsptest::argmax;
using dsptest::holds;
using dsptest::render;
using Eg = EnvelopeGenerator;

// The curves of the shaped stages.
const Spline kRising(0.0, 0.2, 0.0, 0.4, 0.75, 1.0);
const Spline kFalling(1.0, 0.19, 0.55, 0.42, 0.0, 0.0);

struct Settings {
    float delay = 0.0f;
    float attack = Eg::kMinimumTime;
    float decay = Eg::kMinimumTime;
    float sustain = 1.0f;
    float release = Eg::kMinimumTime;
    float hold = 0.0f;
};

struct Rig {
    explicit Rig(float rate = 48000.0f, uint32_t block = dsptest::kBlock) : env(rate, block) {}
    // An envelope with the settings (straight curves unless given), its note started.
    Eg& start(const Settings& s, const CurveSet* curves = nullptr, bool note = true) {
        Eg& eg = *envelopes.emplace_back(std::make_unique<Eg>(env, curves));
        const float values[] = {s.hold, s.delay, s.attack, s.decay, s.sustain, s.release};
        for (int p = 0; p < Eg::kParameterCount; ++p) {
            eg.defaultSource(static_cast<Eg::Parameter>(p)).setTarget(values[p], 0.0f);
        }
        if (note) eg.noteOn();
        return eg;
    }
    dsptest::Env env;
    std::vector<std::unique_ptr<Eg>> envelopes;
};

TEST(EnvelopeGeneratorTest, StagesStartPeakAndEndOnTheirSamples) {
    struct Case {
        float rate;
        uint32_t block;
        Settings s;
        size_t attackFrom, peak, sustainFrom;
    };
    // The minimum attack is 64 samples at 44.1 kHz; a delay of 0.1 s holds the start level for
    // exactly 4800 samples, and 256-sample chunks do not move the stage boundaries.
    const Settings slow{.delay = 0.1f, .attack = 0.5f, .decay = 1.0f, .sustain = 0.5f};
    for (const Case& c :
         {Case{44100.0f, 64, {.sustain = 0.5f}, 0, 64, 128},
          Case{48000.0f, 64, {.attack = 0.5f, .decay = 1.0f, .sustain = 0.5f}, 0, 24000, 72000},
          Case{48000.0f, 256, slow, 4800, 28800, 76800}}) {
        SCOPED_TRACE(c.peak);
        Rig rig(c.rate, c.block);
        const auto out = render(rig.env, rig.start(c.s), c.sustainFrom + 256, c.block);
        EXPECT_TRUE(holds(out, 0.0f, 0, c.attackFrom + 1));
        EXPECT_NEAR(out[c.attackFrom + 1], 1.0 / (c.peak - c.attackFrom), 1e-6);
        EXPECT_NEAR(out[(c.attackFrom + c.peak) / 2], 0.5f, 1e-4);
        EXPECT_EQ(argmax(out), c.peak);
        EXPECT_NEAR(out[c.peak], 1.0f, 1e-6);
        EXPECT_NEAR(out[(c.peak + c.sustainFrom) / 2], 0.75f, 1e-4);
        EXPECT_GT(out[c.sustainFrom - 1], 0.5f);
        EXPECT_TRUE(holds(out, 0.5f, c.sustainFrom));
    }

    // At 48 kHz the minimum attack is 69.66 samples: its part runs for 72, the curve holding its
    // top for the last two, and the decay starts on sample 72. A sustain of 1 leaves it flat.
    Rig rig;
    const auto r = render(rig.env, rig.start({.sustain = 0.5f}), 128);
    EXPECT_NEAR(r[69], 69.0f / 69.66f, 1e-4);
    EXPECT_NEAR(r[70], 1.0f, 1e-6);
    EXPECT_EQ(r[70], r[71]);
    EXPECT_NEAR(r[72], 1.0f, 1e-6);
    EXPECT_LT(r[73], r[72] - 0.005f);
    EXPECT_TRUE(holds(render(rig.env, rig.start({.decay = 0.5f}), 48000), 1.0f, 72));
}

// A chunk that holds one level says so, so that what the envelope drives may take its constant
// paths: the delay, the sustain and the end of the release, never a chunk where it moves.
TEST(EnvelopeGeneratorTest, ChunksThatHoldOneLevelAreConstant) {
    Rig rig(48000.0f, 256);
    Eg& eg =
        rig.start({.delay = 0.1f, .attack = 0.5f, .decay = 1.0f, .sustain = 0.5f, .release = 0.1f});
    std::vector<bool> constant;
    const auto out = render(rig.env, {&eg}, 400 * 256, 256, [&](size_t at) {
        if (at > 0) constant.push_back(eg.isConstant());
        if (at == 350 * 256) eg.noteOff();
    })[0];
    constant.push_back(eg.isConstant());
    // Delay until 4800, attack and decay until 76800 (chunk 300), release over 4800 samples.
    for (size_t chunk = 0; chunk < constant.size(); ++chunk) {
        const bool flat = chunk < 4800 / 256 || (chunk >= 300 && chunk < 350) ||
                          chunk >= (350 * 256 + 4800 + 255) / 256;
        EXPECT_EQ(constant[chunk], flat) << chunk;
        const auto first = out.begin() + static_cast<std::ptrdiff_t>(chunk * 256);
        EXPECT_EQ(std::all_of(first, first + 256, [&](float v) { return v == *first; }), flat)
            << chunk;
    }
}

TEST(EnvelopeGeneratorTest, NeutralSustainCentresTheSustainOnZero) {
    Rig rig;
    Eg& eg = rig.start({.attack = 0.01f, .decay = 0.01f, .sustain = 0.5f, .release = 0.02f},
                       nullptr, false);
    // An idle envelope moves to -sustain at once.
    eg.range = Eg::Range::kNeutralSustain;
    EXPECT_EQ(eg.level(), -1.0f);
    EXPECT_TRUE(holds(render(rig.env, eg, 64), -0.5f));
    eg.noteOn();
    auto out = render(rig.env, eg, 4800);
    EXPECT_EQ(out[0], -0.5f);
    EXPECT_NEAR(out[480], 0.5f, 1e-6);  // the top is 1 - sustain
    EXPECT_EQ(argmax(out), 480u);
    EXPECT_TRUE(holds(out, 0.0f, 960));
    eg.noteOff();
    out = render(rig.env, eg, 1280);
    EXPECT_NEAR(out[480], -0.25f, 1e-4);  // straight release from 0 to -0.5 over 960 samples
    EXPECT_EQ(*std::min_element(out.begin(), out.end()), -0.5f);
    EXPECT_EQ(out.back(), -0.5f);
    EXPECT_TRUE(eg.isMuted());
    eg.range = Eg::Range::kNormal;
    EXPECT_EQ(eg.level(), 0.0f);
}

TEST(EnvelopeGeneratorTest, HoldKeepsTheNoteGoingForOneSecondAfterNoteOff) {
    Rig rig;
    const Settings s{
        .delay = 0.2f, .attack = 0.3f, .decay = 1.0f, .sustain = 0.2f, .release = 0.1f, .hold = 1};
    Eg& held = rig.start(s);
    Eg& released = rig.start(s);
    // Released during the delay: delay, attack and decay go on for exactly 48000 samples.
    const auto out = render(rig.env, {&held, &released}, 900 * 64, 64, [&](size_t at) {
        if (at == 64) released.noteOff();
    });
    const std::vector<float>&a = out[0], &b = out[1];
    constexpr size_t kReleaseStart = 64 + 48000;
    EXPECT_TRUE(std::equal(a.begin(), a.begin() + kReleaseStart, b.begin()));
    EXPECT_EQ(b[kReleaseStart], b[kReleaseStart - 1]);  // the release begins at the last level
    EXPECT_LT(a[kReleaseStart], a[kReleaseStart - 1]);  // while the held note keeps decaying
    EXPECT_NEAR(b[kReleaseStart + 2400], 0.5f * b[kReleaseStart], 1e-4);
    EXPECT_NEAR(b[kReleaseStart + 4800], 0.0f, 1e-6);
    EXPECT_EQ(b[kReleaseStart + 4864], 0.0f);
    EXPECT_GT(a.back(), 0.2f);
}

TEST(EnvelopeGeneratorTest, RetriggerStartsTheAttackFromTheCurrentLevel) {
    Rig rig;
    Eg& eg = rig.start({.attack = 0.01f, .decay = 0.01f, .sustain = 0.5f, .release = 0.1f});
    render(rig.env, eg, 1024);
    eg.noteOff();
    const float level = render(rig.env, eg, 2400).back();
    EXPECT_NEAR(level, 0.25f, 1e-3);
    eg.noteOn();
    const auto out = render(rig.env, eg, 960);
    for (int i = 0; i < 480; ++i) ASSERT_NEAR(out[i], level + (1 - level) * i / 480.0f, 2e-5) << i;
    EXPECT_EQ(argmax(out), 480u);
}

TEST(EnvelopeGeneratorTest, FinishedEnvelopeReportsMutedFromTheNextRender) {
    Rig rig(44100.0f);
    Eg& eg = rig.start({.sustain = 0.5f});
    EXPECT_FALSE(eg.isMuted());  // a start is pending
    render(rig.env, eg, 256);
    eg.noteOff();
    // The minimum release lasts 64 samples: the first chunk ends it.
    render(rig.env, eg, 64);
    EXPECT_EQ(eg.stage(), Eg::kFinished);
    EXPECT_FALSE(eg.isMuted());
    EXPECT_EQ(render(rig.env, eg, 64)[0], 0.0f);
    EXPECT_EQ(eg.stage(), Eg::kIdle);
    EXPECT_TRUE(eg.isMuted() && eg.isConstant());

    // A note released before its start is executed does not hang: it starts and releases.
    eg.noteOn();
    eg.noteOff();
    render(rig.env, eg, 64);
    EXPECT_EQ(eg.stage(), Eg::kFinished);

    // The environment's reset stops a sounding envelope.
    eg.noteOn();
    render(rig.env, eg, 128);
    rig.env.reset();
    EXPECT_TRUE(eg.isMuted() && eg.level() == 0.0f && !eg.gate());
}

TEST(EnvelopeGeneratorTest, ShapedStagesFollowTheirCurves) {
    Rig rig;
    const CurveSet shapes;
    Eg& eg = rig.start({.attack = 0.1f, .decay = 0.1f, .sustain = 0.25f, .release = 0.1f}, &shapes);
    constexpr int kStage = 4800, kRelease = 250 * 64;
    const auto out = render(rig.env, {&eg}, 400 * 64, 64, [&](size_t at) {
        if (at == kRelease) eg.noteOff();
    })[0];
    for (int i = kStage / 8; i < kStage; i += kStage / 8) {
        const double x = static_cast<double>(i) / kStage;
        EXPECT_NEAR(out[i], kRising.evaluate(x), 2e-4) << i;
        EXPECT_NEAR(out[kStage + i], 0.25 + 0.75 * kFalling.evaluate(x), 2e-4) << i;
        EXPECT_NEAR(out[kRelease + i], 0.25 * kFalling.evaluate(x), 2e-4) << i;
    }
}

TEST(EnvelopeGeneratorTest, ParametersAreSampledEverySixtyFourSamples) {
    Rig rig(48000.0f, 32);
    Eg& eg = rig.start({.attack = 0.01f, .decay = 0.01f, .sustain = 0.5f, .release = 0.01f});
    render(rig.env, eg, 1024 + 32, 32);
    // A raised sustain set in the middle of a 64-sample interval applies at its end and is
    // reached over the decay time.
    eg.defaultSource(Eg::kSustain).setTarget(0.8f, 0.0f);
    auto out = render(rig.env, eg, 1024, 32);
    EXPECT_EQ(out[31], 0.5f);
    EXPECT_NEAR(out[32 + 240], 0.65f, 1e-4);
    EXPECT_NEAR(out[32 + 480], 0.8f, 1e-6);
    EXPECT_EQ(out.back(), 0.8f);

    // A new release time restarts the release curve from the present level.
    eg.noteOff();
    render(rig.env, eg, 256, 32);
    eg.defaultSource(Eg::kRelease).setTarget(0.02f, 0.0f);
    out = render(rig.env, eg, 960, 32);
    EXPECT_NEAR(out[31], 0.8f * (1.0f - 287.0f / 480.0f), 1e-4);
    EXPECT_NEAR(out[32], out[31], 1e-6);
    EXPECT_NEAR(out[32 + 480], 0.5f * out[31], 1e-4);
}

struct CountingListener : Eg::GateListener {
    void gateChanged(Eg& /*envelope*/) override { ++calls; }
    int calls = 0;
};

TEST(EnvelopeGeneratorTest, SideChainTriggerGatesAtTheEventOffsets) {
    Rig rig;
    dsptest::Playback sideChain(rig.env, [](size_t n) { return n >= 100 && n < 1000 ? 1.f : 0.f; });
    Trigger trigger(rig.env);
    trigger.setInput(&sideChain);
    Eg& eg = rig.start({.attack = 0.01f, .decay = 0.01f, .sustain = 0.5f, .release = 0.01f},
                       nullptr, false);
    eg.setTrigger(&trigger);
    CountingListener listener;
    eg.setGateListener(&listener);

    const std::vector<float> out = render(rig.env, eg, 4000);
    // On at sample 100; off 720 samples (15 ms) after the level fell below 0.45 at 1000.
    EXPECT_TRUE(holds(out, 0.0f, 0, 101));
    EXPECT_NEAR(out[101], 1.0f / 480.0f, 1e-5);
    EXPECT_EQ(out[1720], 0.5f);
    EXPECT_NEAR(out[1721], 0.5f * (1.0f - 1.0f / 480.0f), 1e-5);
    EXPECT_TRUE(eg.isMuted());
    EXPECT_EQ(listener.calls, 0);  // no 100 ms without a gate change yet
    // One second without gate changes: a notification every 100 ms.
    render(rig.env, eg, 48000);
    EXPECT_EQ(listener.calls, 10);

    // A disabled trigger neither gates nor notifies.
    trigger.enabled = false;
    listener.calls = 0;
    sideChain.setGenerator([](size_t) { return 1.0f; });
    EXPECT_TRUE(holds(render(rig.env, eg, 48000), 0.0f));
    EXPECT_EQ(listener.calls, 0);
}

TEST(EnvelopeGeneratorTest, KeepsTimeWhenNobodyReadsIt) {
    Rig rig;
    const Settings s{.attack = 0.05f, .decay = 0.05f, .sustain = 0.5f, .release = 0.05f};
    Eg &reference = rig.start(s), &sometimes = rig.start(s);
    // The run list runs the envelope in the chunks nobody pulls it.
    for (int chunk = 0; chunk < 200; ++chunk) {
        if (chunk == 100) reference.noteOff(), sometimes.noteOff();
        rig.env.beginChunk();
        const float* a = reference.pull(64, 0);
        ASSERT_TRUE(chunk % 7 != 3 || std::equal(a, a + 64, sometimes.pull(64, 0))) << chunk;
        rig.env.finishChunk(64, false);
    }
    EXPECT_TRUE(sometimes.isMuted());
    // At rest the run list passes it over; a note-on wakes it, and it starts on time.
    rig.env.beginChunk();
    rig.env.finishChunk(64, false);
    EXPECT_TRUE(sometimes.isResting());
    sometimes.noteOn();
    reference.noteOn();
    EXPECT_FALSE(sometimes.isResting());
    rig.env.beginChunk();
    rig.env.finishChunk(64, false);
    rig.env.beginChunk();
    const float* a = reference.pull(64, 0);
    EXPECT_TRUE(std::equal(a, a + 64, sometimes.pull(64, 0)));
    rig.env.finishChunk(64, false);
}

// State and absolute sample position of a trigger event.
using Found = std::pair<int32_t, int64_t>;

// Evaluates the trigger chunk by chunk (twice, as a second user in the same chunk would) and
// collects its events.
std::vector<Found> collect(wave::Environment& env, Trigger& trigger, size_t length,
                           uint32_t block = dsptest::kBlock) {
    std::vector<Found> found;
    for (size_t done = 0; done < length; done += block) {
        const auto n = static_cast<uint32_t>(std::min<size_t>(block, length - done));
        env.beginChunk();
        trigger.evaluate(n);
        trigger.evaluate(n);
        for (const Trigger::Event& e : trigger.events())
            found.emplace_back(e.state, done + e.offset);
        env.finishChunk(n, false);
    }
    return found;
}

TEST(TriggerTest, OpensAboveTheThresholdAndClosesAfterTheHoldBelowHalfOfIt) {
    dsptest::Env env(48000.0f);
    dsptest::Playback level(env);
    Trigger trigger(env), odd(env);
    trigger.setInput(&level);
    odd.setInput(&level);

    std::vector<float> x(4000, 0.0f);
    x[40] = 0.9f;  // reaching the threshold is not enough
    // Between the levels it stays on; below half for exactly the hold time (15 ms) is not yet off.
    const std::pair<int, float> steps[] = {{50, 0.95f},  {60, 0.6f},    {1000, 0.3f},
                                           {1720, 0.5f}, {2000, 0.44f}, {3000, 0.91f}};
    for (auto [from, level] : steps) std::fill(x.begin() + from, x.end(), level);
    const std::vector<Found> expected{
        {Trigger::kOn, 50}, {Trigger::kOff, 2720}, {Trigger::kOn, 3000}};
    level.play(x);
    EXPECT_EQ(collect(env, trigger, x.size()), expected);
    // Offsets are exact in chunks of any length.
    level.play(x);
    EXPECT_EQ(collect(env, odd, x.size(), 37), expected);

    // The hold is at least a sample and follows the rate; the threshold is at most 1.
    trigger.holdTime = 0.0f;
    EXPECT_EQ(trigger.holdSamples(), 1);
    trigger.holdTime = 15.0f;
    env.setSampleRate(96000.0f);
    collect(env, trigger, 64);
    EXPECT_EQ(trigger.holdSamples(), 1440);
    trigger.threshold = 1.5f;
    EXPECT_EQ(trigger.threshold.get(), 1.0f);
}

// The envelope's attack, decay and release are measured against the splines; the rise to a
// raised sustain follows the rising one too, and no table turns back.
TEST(SplineTest, FollowsTheBezierCurveAndItsEndTangentsAndTheTablesFollowIt) {
    // At t = 1/2 the curve passes (0.35, 0.40625): 1/8 P0 + 3/8 P1 + 3/8 P2 + 1/8 P3.
    EXPECT_NEAR(kRising.evaluate(0.35), 0.40625, Spline::kTolerance);
    EXPECT_NEAR(kRising.evaluate(0.0), 0.0, Spline::kTolerance);
    EXPECT_NEAR(kRising.evaluate(1.0), 1.0, Spline::kTolerance);
    // Outside the curve: the start tangent is flat, the end tangent rises 0.25 per 0.6.
    EXPECT_DOUBLE_EQ(kRising.evaluate(-1.0), 0.0);
    EXPECT_NEAR(kRising.evaluate(2.0), 1.0 + 0.25 / 0.6, 1e-12);
    EXPECT_NEAR(kFalling.evaluate(-0.5), 1.0 + 0.5 * 0.45 / 0.19, 1e-12);
    EXPECT_DOUBLE_EQ(kFalling.evaluate(3.0), 0.0);
    // A control point straight above an end leaves no tangent: the end value holds.
    const Spline steep(0.0, 0.0, 0.5, 1.0, 0.5, 1.0);
    EXPECT_DOUBLE_EQ(steep.evaluate(-2.0), 0.0);
    EXPECT_DOUBLE_EQ(steep.evaluate(5.0), 1.0);
    // Every point the bisection finds lies on the curve within the tolerance.
    for (int i = 1; i < 100; ++i) {
        const double t = i / 100.0;
        EXPECT_NEAR(kFalling.evaluate(kFalling.xAt(t)), kFalling.yAt(t), 2 * Spline::kTolerance);
    }

    const CurveSet shaped;
    for (int i = 0; i <= 20; ++i) {
        EXPECT_NEAR(shaped.rise()(i / 20.0f), kRising.evaluate(i / 20.0), Spline::kTolerance) << i;
    }
    const float *up = shaped.attack().data(), *down = shaped.release().data();
    for (uint32_t i = 1; i < CurveSet::kTableCount; ++i) {
        ASSERT_GE(up[i], up[i - 1] - 1e-6f) << i;
        ASSERT_LE(down[i], down[i - 1] + 1e-6f) << i;
    }
}

}  // namespace
