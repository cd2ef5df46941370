#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "dsp/CurveSet.h"
#include "dsp/EnvelopeGenerator.h"
#include "dsp/Spline.h"
#include "dsp/Trigger.h"
#include "tests/dsp/EnvelopeTestRig.h"
#include "tests/support/AllocationCounter.h"

namespace {

using envtest::run;
using Eg = EnvelopeGenerator;

struct Settings {
    float delay = 0.0f;
    float attack = Eg::kMinimumTime;
    float decay = Eg::kMinimumTime;
    float sustain = 1.0f;
    float release = Eg::kMinimumTime;
    float hold = 0.0f;
};

void apply(Eg& eg, const Settings& s) {
    eg.defaultSource(Eg::kDelay).setTarget(s.delay, 0.0f);
    eg.defaultSource(Eg::kAttack).setTarget(s.attack, 0.0f);
    eg.defaultSource(Eg::kDecay).setTarget(s.decay, 0.0f);
    eg.defaultSource(Eg::kSustain).setTarget(s.sustain, 0.0f);
    eg.defaultSource(Eg::kRelease).setTarget(s.release, 0.0f);
    eg.defaultSource(Eg::kHold).setTarget(s.hold, 0.0f);
}

size_t argmax(const std::vector<float>& x) {
    return static_cast<size_t>(std::max_element(x.begin(), x.end()) - x.begin());
}

TEST(EnvelopeGeneratorTest, MinimumAttackIsSixtyFourSamplesAt44k) {
    wave::Environment env(envtest::kBlock);
    Eg eg(env);  // straight curves
    apply(eg, {.sustain = 0.5f});
    eg.noteOn();
    const std::vector<float> out = run(env, eg, 256);
    for (int i = 0; i < 64; ++i) EXPECT_NEAR(out[i], i / 64.0f, 2e-5) << i;
    // The decay starts on sample 64 from the top and reaches the sustain 64 samples later.
    EXPECT_EQ(argmax(out), 64u);
    EXPECT_NEAR(out[64], 1.0f, 1e-6);
    for (int k = 0; k < 64; ++k) EXPECT_NEAR(out[64 + k], 1.0f - 0.5f * k / 64.0f, 2e-5) << k;
    for (int i = 128; i < 256; ++i) EXPECT_EQ(out[i], 0.5f) << i;

    // A sustain of 1 leaves the decay flat.
    Eg flat(env);
    apply(flat, {.decay = 0.5f, .sustain = 1.0f});
    flat.noteOn();
    const std::vector<float> f = run(env, flat, 44100);
    for (size_t i = 64; i < f.size(); ++i) ASSERT_EQ(f[i], 1.0f) << i;

    // At 48 kHz the minimum attack is 69.66 samples: its part runs for 72, the curve holding its
    // top for the last two, and the decay starts on sample 72.
    env.setSampleRate(48000.0f);
    Eg rounded(env);
    apply(rounded, {.sustain = 0.5f});
    rounded.noteOn();
    const std::vector<float> r = run(env, rounded, 128);
    EXPECT_NEAR(r[69], 69.0f / 69.66f, 1e-4);
    EXPECT_NEAR(r[70], 1.0f, 1e-6);
    EXPECT_EQ(r[70], r[71]);
    EXPECT_NEAR(r[72], 1.0f, 1e-6);
    EXPECT_LT(r[73], r[72] - 0.005f);
}

TEST(EnvelopeGeneratorTest, HalfSecondAttackAt48kPeaksAtSample24000) {
    wave::Environment env(envtest::kBlock);
    env.setSampleRate(48000.0f);
    Eg eg(env);
    apply(eg, {.attack = 0.5f, .decay = 1.0f, .sustain = 0.5f});
    eg.noteOn();
    std::vector<float> out = run(env, eg, 30000);
    EXPECT_EQ(argmax(out), 24000u);
    EXPECT_NEAR(out[12000], 0.5f, 1e-4);
    EXPECT_NEAR(out[24000], 1.0f, 1e-6);

    // A 0.1 s delay holds the start level for exactly 4800 samples; 256-sample chunks do not
    // move the stage boundaries.
    wave::Environment large(256);
    large.setSampleRate(48000.0f);
    Eg delayed(large);
    apply(delayed, {.delay = 0.1f, .attack = 0.5f, .decay = 1.0f, .sustain = 0.5f});
    delayed.noteOn();
    out = run(large, delayed, 30000, 256);
    EXPECT_TRUE(std::all_of(out.begin(), out.begin() + 4801, [](float v) { return v == 0.0f; }));
    EXPECT_GT(out[4802], 0.0f);
    EXPECT_EQ(argmax(out), 28800u);
}

TEST(EnvelopeGeneratorTest, NeutralSustainCentresTheSustainOnZero) {
    wave::Environment env(envtest::kBlock);
    env.setSampleRate(48000.0f);
    Eg eg(env);
    std::vector<float> out = run(env, eg, 64);
    EXPECT_EQ(out[63], 0.0f);
    // An idle envelope moves to -sustain at once.
    eg.range = Eg::Range::kNeutralSustain;
    EXPECT_EQ(eg.level(), -1.0f);
    apply(eg, {.attack = 0.01f, .decay = 0.01f, .sustain = 0.5f, .release = 0.02f});
    out = run(env, eg, 64);
    EXPECT_EQ(out[0], -0.5f);
    EXPECT_EQ(out[63], -0.5f);

    out.clear();
    eg.noteOn();
    run(env, eg, out, 4800);
    EXPECT_EQ(out[0], -0.5f);
    EXPECT_NEAR(*std::max_element(out.begin(), out.end()), 0.5f, 1e-6);
    EXPECT_EQ(argmax(out), 480u);
    for (size_t i = 960; i < out.size(); ++i) ASSERT_EQ(out[i], 0.0f) << i;
    eg.noteOff();
    out.clear();
    run(env, eg, out, 1280);
    EXPECT_NEAR(out[480], -0.25f, 1e-4);  // straight release from 0 to -0.5 over 960 samples
    EXPECT_EQ(*std::min_element(out.begin(), out.end()), -0.5f);
    EXPECT_EQ(out.back(), -0.5f);
    EXPECT_TRUE(eg.isMuted());

    // The shaped curves end their release at -0.5 too.
    const CurveSet shaped;
    Eg curved(env, &shaped);
    curved.range = Eg::Range::kNeutralSustain;
    apply(curved, {.attack = 0.01f, .decay = 0.01f, .sustain = 0.5f, .release = 0.02f});
    curved.noteOn();
    out = run(env, curved, 4800);
    EXPECT_NEAR(*std::max_element(out.begin(), out.end()), 0.5f, 1e-4);
    EXPECT_NEAR(out.back(), 0.0f, 1e-4);
    curved.noteOff();
    out = run(env, curved, 1280);
    EXPECT_NEAR(out[958], -0.5f, 1e-4);
    EXPECT_EQ(out.back(), -0.5f);
}

TEST(EnvelopeGeneratorTest, HoldKeepsTheNoteGoingForOneSecondAfterNoteOff) {
    wave::Environment env(envtest::kBlock);
    env.setSampleRate(48000.0f);
    const Settings s{.delay = 0.2f,
                     .attack = 0.3f,
                     .decay = 1.0f,
                     .sustain = 0.2f,
                     .release = 0.1f,
                     .hold = 1.0f};
    Eg held(env);
    Eg released(env);
    for (Eg* eg : {&held, &released}) {
        apply(*eg, s);
        eg->noteOn();
    }
    // Released during the delay: delay, attack and decay go on for exactly 48000 samples.
    const auto out = envtest::runMany(env, {&held, &released}, 900 * 64, [&](size_t at) {
        if (at == 64) released.noteOff();
    });
    const std::vector<float>& a = out[0];
    const std::vector<float>& b = out[1];
    constexpr size_t kReleaseStart = 64 + 48000;
    for (size_t i = 0; i < kReleaseStart; ++i) ASSERT_EQ(a[i], b[i]) << i;
    EXPECT_EQ(b[kReleaseStart], b[kReleaseStart - 1]);  // the release begins at the last level
    EXPECT_LT(a[kReleaseStart], a[kReleaseStart - 1]);  // while the held note keeps decaying
    EXPECT_NEAR(b[kReleaseStart + 2400], 0.5f * b[kReleaseStart], 1e-4);
    EXPECT_NEAR(b[kReleaseStart + 4800], 0.0f, 1e-6);
    EXPECT_EQ(b[kReleaseStart + 4864], 0.0f);
    EXPECT_GT(a.back(), 0.2f);
}

TEST(EnvelopeGeneratorTest, RetriggerStartsTheAttackFromTheCurrentLevel) {
    wave::Environment env(envtest::kBlock);
    env.setSampleRate(48000.0f);
    Eg eg(env);
    apply(eg, {.attack = 0.01f, .decay = 0.01f, .sustain = 0.5f, .release = 0.1f});
    eg.noteOn();
    run(env, eg, 1024);
    eg.noteOff();
    std::vector<float> out = run(env, eg, 2400);
    const float level = eg.level();
    EXPECT_NEAR(level, 0.25f, 1e-3);
    EXPECT_EQ(out.back(), level);

    eg.noteOn();
    out = run(env, eg, 960);
    EXPECT_EQ(out[0], level);
    for (int i = 0; i < 480; ++i) {
        EXPECT_NEAR(out[i], level + (1.0f - level) * i / 480.0f, 2e-5) << i;
    }
    EXPECT_EQ(argmax(out), 480u);
}

TEST(EnvelopeGeneratorTest, FinishedEnvelopeReportsMutedFromTheNextRender) {
    wave::Environment env(envtest::kBlock);
    Eg eg(env);
    apply(eg, {.sustain = 0.5f});
    EXPECT_TRUE(eg.isMuted());
    eg.noteOn();
    EXPECT_FALSE(eg.isMuted());  // a start is pending
    run(env, eg, 256);
    EXPECT_EQ(eg.stage(), Eg::kRunning);
    eg.noteOff();
    // The minimum release lasts 64 samples: the first chunk ends it.
    run(env, eg, 64);
    EXPECT_EQ(eg.stage(), Eg::kFinished);
    EXPECT_FALSE(eg.isMuted());
    const std::vector<float> out = run(env, eg, 64);
    EXPECT_EQ(eg.stage(), Eg::kIdle);
    EXPECT_TRUE(eg.isMuted());
    EXPECT_TRUE(eg.isConstant());
    EXPECT_EQ(out[0], 0.0f);

    // A note released before its start is executed does not hang: it starts and releases.
    eg.noteOn();
    eg.noteOff();
    run(env, eg, 64);
    EXPECT_EQ(eg.stage(), Eg::kFinished);
    run(env, eg, 64);
    EXPECT_TRUE(eg.isMuted());

    // The environment's reset stops a sounding envelope.
    eg.noteOn();
    run(env, eg, 128);
    EXPECT_EQ(env.resetList().back(), &eg);
    env.reset();
    EXPECT_TRUE(eg.isMuted());
    EXPECT_EQ(eg.level(), 0.0f);
    EXPECT_FALSE(eg.gate());
}

TEST(EnvelopeGeneratorTest, StagesFollowTheirCurves) {
    wave::Environment env(envtest::kBlock);
    env.setSampleRate(48000.0f);
    const Settings s{.attack = 0.1f, .decay = 0.1f, .sustain = 0.25f, .release = 0.1f};
    Eg straight(env);
    const CurveSet shapedSet;
    Eg shaped(env, &shapedSet);
    for (Eg* eg : {&straight, &shaped}) {
        apply(*eg, s);
        eg->noteOn();
    }
    constexpr int kRelease = 250 * 64;
    const auto out = envtest::runMany(env, {&straight, &shaped}, 400 * 64, [&](size_t at) {
        if (at == kRelease) {
            straight.noteOff();
            shaped.noteOff();
        }
    });
    const std::vector<float>& a = out[0];
    const std::vector<float>& b = out[1];
    const Spline rising(0.0, 0.2, 0.0, 0.4, 0.75, 1.0);
    const Spline falling(1.0, 0.19, 0.55, 0.42, 0.0, 0.0);
    constexpr int kStage = 4800;
    for (int q = 1; q < 8; ++q) {
        const int i = q * kStage / 8;
        const double x = static_cast<double>(i) / kStage;
        EXPECT_NEAR(a[i], x, 1e-4) << i;
        EXPECT_NEAR(a[kStage + i], 0.25 + 0.75 * (1.0 - x), 1e-4) << i;
        EXPECT_NEAR(a[kRelease + i], 0.25 * (1.0 - x), 1e-4) << i;
        EXPECT_NEAR(b[i], rising.evaluate(x), 2e-4) << i;
        EXPECT_NEAR(b[kStage + i], 0.25 + 0.75 * falling.evaluate(x), 2e-4) << i;
        EXPECT_NEAR(b[kRelease + i], 0.25 * falling.evaluate(x), 2e-4) << i;
    }
}

TEST(EnvelopeGeneratorTest, ParametersAreSampledEverySixtyFourSamples) {
    wave::Environment env(32);
    env.setSampleRate(48000.0f);
    Eg eg(env);
    apply(eg, {.attack = 0.01f, .decay = 0.01f, .sustain = 0.5f, .release = 0.01f});
    eg.noteOn();
    run(env, eg, 1024 + 32, 32);
    // A raised sustain set in the middle of a 64-sample interval applies at its end and is
    // reached over the decay time.
    eg.defaultSource(Eg::kSustain).setTarget(0.8f, 0.0f);
    std::vector<float> out = run(env, eg, 1024, 32);
    EXPECT_EQ(out[31], 0.5f);
    EXPECT_NEAR(out[32], 0.5f, 1e-6);
    EXPECT_NEAR(out[32 + 240], 0.65f, 1e-4);
    EXPECT_NEAR(out[32 + 480], 0.8f, 1e-6);
    EXPECT_EQ(out.back(), 0.8f);

    // A new release time restarts the release curve from the present level.
    eg.noteOff();
    out = run(env, eg, 256, 32);
    EXPECT_NEAR(out.back(), 0.8f * (1.0f - 255.0f / 480.0f), 1e-4);
    eg.defaultSource(Eg::kRelease).setTarget(0.02f, 0.0f);
    out = run(env, eg, 960, 32);
    EXPECT_NEAR(out[31], 0.8f * (1.0f - 287.0f / 480.0f), 1e-4);
    const float level = out[31];
    EXPECT_NEAR(out[32], level, 1e-6);
    EXPECT_NEAR(out[32 + 480], 0.5f * level, 1e-4);
}

// Every change of the release time restarts the curve from the present level, so a release
// time that changes faster than the release never reaches the end of its curve; the envelope
// still goes idle once the level has arrived at the bottom.
TEST(EnvelopeGeneratorTest, AReleaseTimeThatKeepsChangingStillEnds) {
    wave::Environment env(64);
    env.setSampleRate(48000.0f);
    Eg eg(env);
    apply(eg, {.release = 0.01f});
    eg.noteOn();
    run(env, eg, 1024, 64);
    eg.noteOff();
    float previous = 1.0f;
    int chunks = 0;
    for (; chunks < 1000 && !eg.isMuted(); ++chunks) {
        eg.defaultSource(Eg::kRelease).setTarget(chunks % 2 ? 0.01f : 0.0125f, 0.0f);
        const std::vector<float> out = run(env, eg, 64, 64);
        for (float x : out) {
            ASSERT_LE(x, previous) << chunks;
            previous = x;
        }
    }
    // About 0.85 per 64-sample restart: 2^-23 after some 100 restarts.
    EXPECT_GT(chunks, 60);
    EXPECT_LT(chunks, 200);
    EXPECT_TRUE(eg.isMuted());
    EXPECT_EQ(eg.level(), 0.0f);
}

class CountingListener : public Eg::GateListener {
public:
    void gateChanged(Eg& /*envelope*/) override { ++calls; }
    int calls = 0;
};

TEST(EnvelopeGeneratorTest, SideChainTriggerGatesAtTheEventOffsets) {
    wave::Environment env(envtest::kBlock);
    env.setSampleRate(48000.0f);
    envtest::Playback sideChain(env);
    std::vector<float> level(4000, 0.0f);
    std::fill(level.begin() + 100, level.begin() + 1000, 1.0f);
    sideChain.play(level);
    Trigger trigger(env);
    trigger.setInput(&sideChain);
    Eg eg(env);
    apply(eg, {.attack = 0.01f, .decay = 0.01f, .sustain = 0.5f, .release = 0.01f});
    eg.setTrigger(&trigger);
    CountingListener listener;
    eg.setGateListener(&listener);

    const std::vector<float> out = run(env, eg, 4000);
    // On at sample 100; off 720 samples (15 ms) after the level fell below 0.45 at 1000.
    EXPECT_TRUE(std::all_of(out.begin(), out.begin() + 101, [](float v) { return v == 0.0f; }));
    EXPECT_NEAR(out[101], 1.0f / 480.0f, 1e-5);
    EXPECT_EQ(argmax(out), 580u);
    EXPECT_EQ(out[1719], 0.5f);
    EXPECT_EQ(out[1720], 0.5f);
    EXPECT_NEAR(out[1721], 0.5f * (1.0f - 1.0f / 480.0f), 1e-5);
    EXPECT_NEAR(out[1720 + 240], 0.25f, 1e-4);
    EXPECT_NEAR(out[1720 + 480], 0.0f, 1e-6);
    EXPECT_EQ(out[1720 + 544], 0.0f);
    EXPECT_FALSE(eg.gate());
    EXPECT_TRUE(eg.isMuted());
    EXPECT_EQ(listener.calls, 0);  // no 100 ms without a gate change yet

    // One second without gate changes: a notification every 100 ms (75 chunks of 64).
    run(env, eg, 48000);
    EXPECT_EQ(listener.calls, 10);

    // A disabled trigger neither gates nor notifies.
    trigger.enabled = false;
    listener.calls = 0;
    sideChain.play(std::vector<float>(48000, 1.0f));
    const std::vector<float> off = run(env, eg, 48000);
    EXPECT_TRUE(std::all_of(off.begin(), off.end(), [](float v) { return v == 0.0f; }));
    EXPECT_EQ(listener.calls, 0);
}

TEST(EnvelopeGeneratorTest, KeepsTimeWhenNobodyReadsIt) {
    wave::Environment env(envtest::kBlock);
    env.setSampleRate(48000.0f);
    const Settings s{.attack = 0.05f, .decay = 0.05f, .sustain = 0.5f, .release = 0.05f};
    Eg reference(env);
    Eg sometimes(env);
    Eg silent(env);
    silent.setRenderWhileRunning(false);
    for (Eg* eg : {&reference, &sometimes, &silent}) {
        apply(*eg, s);
        eg->noteOn();
    }
    // The run list holds the envelopes in advance mode and runs those not pulled.
    EXPECT_EQ(reference.sourceMode(), wave::Environment::kModeAdvance);
    for (int chunk = 0; chunk < 200; ++chunk) {
        if (chunk == 100) {
            for (Eg* eg : {&reference, &sometimes, &silent}) eg->noteOff();
        }
        env.beginChunk();
        const float* a = reference.pull(64, 0);
        if (chunk == 0 || chunk % 7 == 3) {
            const float* b = sometimes.pull(64, 0);
            for (int i = 0; i < 64; ++i) ASSERT_EQ(a[i], b[i]) << chunk << " " << i;
        }
        if (chunk == 0 || chunk == 60) {
            // Skipped silently, the attack and decay are over by chunk 60: it sits at the sustain.
            const float* c = silent.pull(64, 0);
            if (chunk == 60) {
                for (int i = 0; i < 64; ++i) ASSERT_EQ(c[i], 0.5f) << i;
            }
        }
        if (chunk == 99) {
            EXPECT_EQ(silent.stage(), Eg::kRunning);
        }
        env.finishChunk(64, false);
    }
    // The release of 2400 samples ended without anybody listening.
    EXPECT_TRUE(reference.isMuted());
    EXPECT_TRUE(sometimes.isMuted());
    EXPECT_TRUE(silent.isMuted());
    EXPECT_EQ(silent.level(), 0.0f);
}

TEST(EnvelopeGeneratorTest, RenderingDoesNotAllocate) {
    wave::Environment env(envtest::kBlock);
    env.setSampleRate(48000.0f);
    envtest::Playback sideChain(env);
    std::vector<float> level(20000, 0.0f);
    for (size_t i = 0; i < level.size(); ++i) level[i] = (i / 1500) % 2 ? 1.0f : 0.0f;
    sideChain.play(level);
    Trigger trigger(env);
    trigger.setInput(&sideChain);
    const CurveSet shaped;
    Eg note(env, &shaped);
    Eg gated(env);
    gated.setTrigger(&trigger);
    gated.range = Eg::Range::kNeutralSustain;
    std::vector<float> out;
    out.reserve(20000);

    AllocationGuard guard;
    apply(note, {.delay = 0.01f,
                 .attack = 0.02f,
                 .decay = 0.03f,
                 .sustain = 0.4f,
                 .release = 0.05f,
                 .hold = 0.01f});
    for (int chunk = 0; chunk < 300; ++chunk) {
        if (chunk % 50 == 0) note.noteOn();
        if (chunk % 50 == 25) note.noteOff();
        if (chunk == 120) note.defaultSource(Eg::kRelease).setTarget(0.01f);
        env.beginChunk();
        const float* x = note.pull(64, 0);
        out.insert(out.end(), x, x + 64);
        gated.pull(64, 0);
        env.finishChunk(64, false);
    }
    EXPECT_EQ(guard.allocations(), 0u);
    EXPECT_GT(*std::max_element(out.begin(), out.end()), 0.99f);
}

}  // namespace
