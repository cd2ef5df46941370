#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "dsp/XLFO.h"
#include "dsp/XLFOFreqController.h"
#include "tests/dsp/DspTestRig.h"

namespace {

using dsptest::kBlock;
using dsptest::render;

// With 2 cycles per second every sample advances the phase by exactly 2^-14: step edges fall
// on whole samples (a step of 1/16 cycle lasts 1024 samples).
constexpr float kRate = 32768.0f;
constexpr float kFrequency = 2.0f;
constexpr int kCycle = 16384;  // samples

void setFrequency(XLFO& xlfo, float hz) {
    xlfo.defaultFrequency().setTarget(hz, 0.0f);
}

// A rig with one XLFO running at kFrequency.
struct Single {
    dsptest::Env env{kRate};
    XLFO xlfo;
    explicit Single(uint32_t seed = 1) : xlfo(env, seed) { setFrequency(xlfo, kFrequency); }
    std::vector<float> run(size_t count) { return dsptest::render(env, xlfo, count); }
};

// Fixed step values -0.9, -0.8, ... so that every step is told apart.
void setDistinctValues(XLFO& xlfo) {
    for (int i = 0; i < XLFO::kMaxSteps; ++i) xlfo.step(i).value = -0.9f + 0.1f * i;
}

void setAllRandom(XLFO& xlfo) {
    for (int i = 0; i < XLFO::kMaxSteps; ++i) xlfo.step(i).random = true;
}

// Sample indices where the output differs from the sample before.
std::vector<int> changes(const std::vector<float>& s) {
    std::vector<int> at;
    for (size_t i = 1; i < s.size(); ++i) {
        if (s[i] != s[i - 1]) at.push_back(static_cast<int>(i));
    }
    return at;
}

// Fixed steps of the given values, all with the given glide.
void pattern(XLFO& xlfo, const std::vector<float>& values, float glide = 0.0f) {
    xlfo.stepCount = static_cast<int>(values.size());
    for (int i = 0; i < xlfo.stepCount; ++i) {
        xlfo.step(i).value = values[i];
        xlfo.step(i).glide = glide;
    }
}

// Draws at the middle of each step of `length` samples after the first: apart by the least
// distance, within [lo, hi].
void expectDraws(const std::vector<float>& x, size_t length, float lo, float hi) {
    for (size_t at = length + length / 2; at < x.size(); at += length) {
        ASSERT_GE(std::fabs(x[at] - x[at - length]), XLFO::kRandomDistance - 1e-6f) << at;
        ASSERT_TRUE(x[at] >= lo && x[at] <= hi) << at;
    }
}

TEST(XLFOTest, StepTimesFollowBalanceToTheSample) {
    Single rig;
    setDistinctValues(rig.xlfo);
    // Glide 0 holds every step flat for exactly 1024 samples.
    std::vector<float> out = rig.run(2 * kCycle);
    std::vector<int> even, balanced;
    for (int k = 1; k < 32; ++k) even.push_back(1024 * k);
    EXPECT_EQ(changes(out), even);
    for (int k = 0; k < 32; ++k) EXPECT_FLOAT_EQ(out[1024 * k + 512], -0.9f + 0.1f * (k % 16));
    // Balance 0.25: the first eight steps last 1/32 each, the last eight 3/32.
    rig.xlfo.balance = 0.25f;
    out = rig.run(kCycle);
    for (int k = 1; k < 16; ++k) balanced.push_back(k < 8 ? 512 * k : 4096 + 1536 * (k - 8));
    EXPECT_EQ(changes(out), balanced);
    EXPECT_FLOAT_EQ(out[4096], -0.9f + 0.8f);
}

TEST(XLFOTest, OddStepCountSplitsTheMiddleStepAtTheBalance) {
    // Three steps; the middle one at -0.5 glides toward the last at 0.5.
    const auto middle = [](float balance, float glide, size_t length) {
        Single rig;
        pattern(rig.xlfo, {0.0f, -0.5f, 0.5f});
        rig.xlfo.balance = balance;
        rig.xlfo.step(1).glide = glide;
        return rig.run(length);
    };
    // At balance 0.25 the steps span [0, 1/6), [1/6, 1/2), [1/2, 1); the middle step's first
    // half runs before the balance point, so a glide of 0.5 starts exactly there (sample 4096)
    // and reaches the next value at the step's end; halfway through the second part, u = 0.75.
    const std::vector<float> out = middle(0.25f, 0.5f, kCycle / 2 + 1);
    EXPECT_EQ(changes(out)[0], 2731);
    EXPECT_FLOAT_EQ(out[4096], -0.5f);
    EXPECT_GT(out[4097], -0.5f);
    EXPECT_NEAR(out[6144], 0.0f, 1e-6f);
    EXPECT_NEAR(out[8191], 0.5f, 1e-3f);
    EXPECT_EQ(out[8192], 0.5f);
    // Balance 0.375: the middle step spans [0.25, 7/12); its first part [0.25, 0.375) maps to
    // u = 0..0.5, so with a full glide position 0.3125 (sample 5120) is a quarter of the way.
    EXPECT_NEAR(middle(0.375f, 1.0f, 6000)[5120], -0.25f, 1e-6f);
}

TEST(XLFOTest, GlideRampsAlongItsCurveAndZeroGlideHolds) {
    dsptest::Env env(kRate);
    XLFO stepGlide(env), globalGlide(env);
    for (XLFO* x : {&stepGlide, &globalGlide}) {
        setDistinctValues(*x);
        x->step(15).value = 1.0f;  // the largest jump back to step 0: 1.9
        setFrequency(*x, kFrequency);
    }
    for (int i = 0; i < 16; ++i) stepGlide.step(i).glide = 1.0f;
    globalGlide.defaultGlide().setTarget(1.0f, 0.0f);
    const auto out = render(env, {&stepGlide, &globalGlide}, 2 * kCycle);
    // A linear glide over 1024 samples: never more than one sample's share of a jump.
    EXPECT_LE(dsptest::largestStep(out[0]), 1.9f / 1024.0f + 1e-6f);
    EXPECT_FLOAT_EQ(out[0][512], -0.9f + 0.05f);  // halfway from step 0 to step 1
    EXPECT_EQ(out[0], out[1]);

    // A quarter into a full glide from -0.5 to 0.5 stands at curve(0.25) - 0.5.
    const float quarter[] = {0.25f, 0.0625f, 0.5f, 0.5f * (std::sin(-0.25f * 3.14159265f) + 1)};
    for (int curve = XLFO::kLinear; curve <= XLFO::kSine; ++curve) {
        Single curved;
        pattern(curved.xlfo, {-0.5f, 0.5f}, 1.0f);
        curved.xlfo.step(0).glideCurve = curve;
        EXPECT_NEAR(curved.run(2049)[2048], quarter[curve] - 0.5f, 1e-6f) << curve;
    }

    // Global -1 with step glide 0 leaves only the least glide, (0.0002 f)^2, which shows at high
    // rates: one step of 32 samples at 1024 Hz holds 0.8 and glides toward the stored value 0 only
    // in its last sample.
    Single fast;
    pattern(fast.xlfo, {0.8f});
    fast.xlfo.defaultGlide().setTarget(-1.0f, 0.0f);
    setFrequency(fast.xlfo, 1024.0f);
    const std::vector<float> s = fast.run(64);
    const float g = (0.0002f * 1024.0f) * (0.0002f * 1024.0f);
    EXPECT_FLOAT_EQ(s[30], 0.8f);
    EXPECT_NEAR(s[31], 0.8f - 0.8f * (31.0f / 32.0f - (1.0f - g)) / g, 1e-5f);
    EXPECT_FLOAT_EQ(s[32], 0.8f);
}

TEST(XLFOTest, RandomStepsKeepTheirDistanceAndRepeatPerSeed) {
    dsptest::Env env(kRate);
    XLFO xlfo(env, 7), twin(env, 7), other(env, 8), quick(env, 9);
    for (XLFO* x : {&xlfo, &twin, &other, &quick}) setAllRandom(*x);
    for (XLFO* x : {&xlfo, &twin, &other}) setFrequency(*x, kFrequency);
    // Steps shorter than a chunk (16 samples) draw anew on every visit as well.
    setFrequency(quick, 128.0f);
    constexpr int kCycles = 60;
    const auto all = render(env, {&xlfo, &twin, &other, &quick}, kCycles * kCycle);
    EXPECT_EQ(all[0], all[1]);
    EXPECT_NE(all[0], all[2]);
    expectDraws(all[0], 1024, -1.0f, 1.0f);
    expectDraws(all[3], 16, -1.0f, 1.0f);
    // New values on every visit, each held for the whole step.
    EXPECT_GT(std::set<float>(all[0].begin(), all[0].end()).size(), 800u);
    EXPECT_EQ(changes(all[0]).size(), size_t(kCycles * 16 - 1));

    // A fixed step among random ones keeps its value (the clock stands at a whole cycle).
    xlfo.step(5).random = false;
    xlfo.step(5).value = 0.9f;
    EXPECT_EQ(render(env, xlfo, kCycle)[5 * 1024 + 512], 0.9f);

    // A single random step draws every cycle (2048 samples at 16 Hz); unipolar stays in 0..1.
    XLFO single(env, 3);
    single.setUnipolar(true);
    single.stepCount = 1;
    single.step(0).random = true;
    setFrequency(single, 16.0f);
    expectDraws(render(env, single, 2048 * 200), 2048, 0.0f, 1.0f);
}

TEST(XLFOTest, SnappedValuesLandOnTheTwentyFiveLevels) {
    Single rig(11);
    XLFO& xlfo = rig.xlfo;
    xlfo.snap = true;
    XLFO::Step& s = xlfo.step(0);
    const std::pair<float, float> cases[] = {
        {0.04f, 0.0f}, {0.05f, 1.0f / 12.0f}, {-1.0f, -1.0f},       {1.0f, 1.0f},
        {0.99f, 1.0f}, {-0.96f, -1.0f},       {-0.95f, -11 / 12.f}, {0.5f, 0.5f}};
    for (const auto& [in, snapped] : cases) {
        s.value = in;
        EXPECT_NEAR(s.currentValue(), snapped, 1e-6f) << in;
    }
    // Random values snap too, reaching both ends.
    setAllRandom(xlfo);
    setFrequency(xlfo, 8.0f);  // steps of 256 samples
    std::set<float> levels;
    for (const float v : rig.run(256 * 16 * 100)) {
        EXPECT_NEAR((v + 1) * 12, std::round((v + 1) * 12), 1e-4f);
        levels.insert(v);
    }
    EXPECT_EQ(*levels.begin(), -1.0f);
    EXPECT_EQ(*levels.rbegin(), 1.0f);
}

TEST(XLFOTest, PhaseOffsetTakesTheShorterWayRound) {
    Single rig;
    XLFO& xlfo = rig.xlfo;
    setFrequency(xlfo, 0.0f);
    setAllRandom(xlfo);
    xlfo.defaultPhaseOffset().setTarget(0.1f, 0.0f);
    rig.run(kBlock);
    const float held = rig.run(kBlock).back();
    EXPECT_NEAR(xlfo.position(), 0.1, 1e-7);
    // From 0.1 to 0.9: down through 0, never up through 0.5. The glide starts a whole cycle
    // away (1.1), which must not count as leaving step 1 and drawing a new value.
    xlfo.defaultPhaseOffset().setTarget(0.9f, 50.0f);
    double previous = xlfo.position(), travelled = 0.0;
    for (int chunk = 0; chunk < 40; ++chunk) {
        const std::vector<float> out = rig.run(kBlock);
        EXPECT_TRUE(chunk > 0 || out == std::vector<float>(kBlock, held));
        const double p = xlfo.position();
        EXPECT_TRUE(p <= 0.1 + 1e-7 || p >= 0.9 - 1e-7) << p;
        travelled += p - previous - (p - previous > 0.5 ? 1.0 : 0.0);
        previous = p;
    }
    EXPECT_NEAR(xlfo.position(), 0.9, 1e-6);
    EXPECT_NEAR(travelled, -0.2, 1e-6);
}

TEST(XLFOTest, MidiTriggerRestartsAtThePhaseOffsetPoint) {
    Single rig;
    XLFO& xlfo = rig.xlfo;
    setDistinctValues(xlfo);
    xlfo.defaultPhaseOffset().setTarget(0.25f, 0.0f);
    rig.run(3000);
    EXPECT_NEAR(xlfo.position(), 0.25 + 3000.0 / kCycle, 1e-9);
    // Off: a note changes nothing, and the trigger reference stays 0.
    xlfo.updateTransport(120.0f, 10.0, 1.0f);
    const double rephased = xlfo.position();
    xlfo.noteOn();
    EXPECT_DOUBLE_EQ(xlfo.triggerReference(), 0.0);
    xlfo.midiTrigger = true;
    EXPECT_DOUBLE_EQ(xlfo.position(), rephased);
    // On: the raw phase restarts, the position at the offset point, the start of step 4.
    xlfo.noteOn();
    EXPECT_DOUBLE_EQ(xlfo.rawPhase(), 0.0);
    EXPECT_DOUBLE_EQ(xlfo.triggerReference(), 10.0);
    EXPECT_TRUE(dsptest::holds(rig.run(1024), -0.9f + 0.4f));
    xlfo.midiTrigger = false;
    EXPECT_DOUBLE_EQ(xlfo.triggerReference(), 0.0);
}

TEST(XLFOTest, HalfCrossingIsReportedOncePerCycleAtItsSample) {
    using Events = std::vector<std::pair<uint32_t, bool>>;
    struct Recorder : XLFO::Observer {
        explicit Recorder(const wave::Environment& env) : env(env) {}
        void halfChanged(const XLFO& xlfo, bool secondHalf, uint32_t frame) override {
            EXPECT_EQ(xlfo.secondHalf(), secondHalf);
            events.emplace_back(env.sampleClock() + frame, secondHalf);
        }
        const wave::Environment& env;
        Events events;
    };
    struct Case {
        float balance, hz;
        size_t length;
        Events expected;
    };
    // Balance moves the crossing; halves shorter than 0.0625 s are not reported.
    const Case cases[] = {
        {0.5f, kFrequency, 3 * kCycle, {{8192, 1}, {16384, 0}, {24576, 1}, {32768, 0}, {40960, 1}}},
        {0.25f, kFrequency, kCycle + 3000, {{4096, 1}, {16384, 0}}},
        {0.5f, 20.0f, kCycle, {}}};
    for (const Case& c : cases) {
        Single rig;
        Recorder recorder(rig.env);
        rig.xlfo.setObserver(&recorder);
        rig.xlfo.balance = c.balance;
        setFrequency(rig.xlfo, c.hz);
        rig.run(c.length);
        EXPECT_EQ(recorder.events, c.expected) << c.balance << " " << c.hz;
    }
}

TEST(XLFOTest, UnpulledXLFOAdvancesFromTheRunListInTime) {
    dsptest::Env env(kRate);
    XLFO pulled(env), idle(env);
    for (XLFO* x : {&pulled, &idle}) {
        setDistinctValues(*x);
        x->step(3).glide = 0.7f;
        x->defaultFrequency().setTarget(3.0f, 100.0f);  // a glide, to test the clock too
        x->defaultPhaseOffset().setTarget(0.3f, 20.0f);
    }
    for (int chunk = 0; chunk < 500; ++chunk) {
        env.beginChunk();
        pulled.pull(kBlock, 0);
        const uint32_t stamp = pulled.stamp();
        env.finishChunk(kBlock, false);
        ASSERT_EQ(pulled.stamp(), stamp);  // not run a second time
    }
    EXPECT_EQ(idle.position(), pulled.position());
    const auto a = render(env, {&pulled, &idle}, kBlock);
    EXPECT_EQ(a[0], a[1]);
}

TEST(XLFOTest, BalanceAndStepCountKeepThePlaceInThePattern) {
    Single rig;
    XLFO& xlfo = rig.xlfo;
    rig.run(2048 + 256);   // a quarter into step 2
    xlfo.balance = 0.25f;  // step 2 now spans [1/16, 3/32)
    EXPECT_DOUBLE_EQ(xlfo.position(), 1.0 / 16 + 0.25 / 32);
    rig.run(12288 - 2304);  // 9984 samples further
    xlfo.balance = 0.5f;
    // From 0.0703125 + 9984 / 16384 = 0.6796875 (in step 12 at balance 0.25): back to 0.75 +
    // (0.6796875 - 0.625) / 3 * 2 = 0.7864583; four steps keep it.
    const double place = 0.75 + (0.6796875 - 0.625) * 2.0 / 3.0;
    EXPECT_NEAR(xlfo.position(), place, 1e-12);
    xlfo.stepCount = 4;
    EXPECT_NEAR(xlfo.position(), place, 1e-12);
    xlfo.stepCount = 40;
    EXPECT_EQ(xlfo.activeSteps(), XLFO::kMaxSteps);

    // Fast changing from 8 steps per half second on: 16 steps at 2 Hz, not at 1 Hz or 8 steps.
    const std::pair<float, int> fast[] = {{1.0f, 16}, {kFrequency, 16}, {kFrequency, 8}};
    for (const auto& [hz, steps] : fast) {
        setFrequency(xlfo, hz);
        xlfo.stepCount = steps;
        rig.run(kBlock);
        EXPECT_EQ(xlfo.isFastChanging(), hz == kFrequency && steps == 16) << hz << " " << steps;
    }
}

constexpr int kOneBar = 5;  // "Free,16,8,4,2,1,..."

TEST(XLFOFreqControllerTest, SyncModesRunTheirBarsPerCycle) {
    dsptest::Env env(kRate);
    XLFO xlfo(env);
    XLFOFreqController controller(env, xlfo);
    // "16,8,4,2,1,1/2,...,1/64" bars at 120 BPM: 120 / (bars 240) cycles per second.
    for (int mode = 1; mode < XLFOFreqController::kModeCount; ++mode) {
        controller.syncMode = mode;
        controller.setTransport(120.0f, 0.0);
        EXPECT_FLOAT_EQ(controller.syncFrequency().target(), std::exp2(mode - 6)) << mode;
    }
    // The XLFO reads the controller, scaled by the offset factor, once settled (250 ms).
    controller.syncMode = kOneBar;
    controller.defaultOffset().setTarget(2.0f, 0.0f);
    render(env, xlfo, 8192);
    EXPECT_EQ(controller.outputData()[0], 1.0f);
    EXPECT_FALSE(controller.transportPending());
    // Switching mode applies the last tempo at once: 16 bars.
    controller.syncMode = 1;
    EXPECT_FLOAT_EQ(controller.syncFrequency().target(), 120.0f / (16 * 240));
    EXPECT_TRUE(controller.transportPending());

    // Free: the free-frequency source passes through, the tempo is not applied.
    controller.syncMode = XLFOFreqController::kFree;
    controller.defaultFreeFrequency().setTarget(3.0f, 0.0f);
    controller.setTransport(90.0f, 4.0);
    EXPECT_FLOAT_EQ(controller.syncFrequency().target(), 120.0f / (16 * 240));
    render(env, xlfo, kBlock);
    EXPECT_EQ(controller.outputData(), controller.defaultFreeFrequency().outputData());
}

TEST(XLFOFreqControllerTest, SongPositionRephasesFromTheTriggerReference) {
    dsptest::Env env(kRate);
    XLFO xlfo(env);
    XLFOFreqController controller(env, xlfo);
    controller.syncMode = kOneBar;
    xlfo.midiTrigger = true;
    xlfo.defaultPhaseOffset().setTarget(0.125f, 0.0f);
    render(env, xlfo, kBlock);
    // Sends a song position at 120 BPM; returns the raw phase it leads to.
    const auto send = [&](double beats) {
        controller.setTransport(120.0f, beats);
        env.beginChunk();
        controller.pull(kBlock, 0);
        const double raw = xlfo.rawPhase();
        EXPECT_NEAR(xlfo.position(), std::fmod(raw + 0.125, 1.0), 1e-6);
        xlfo.pull(kBlock, 0);
        env.finishChunk(kBlock, false);
        return raw;
    };
    // (10 quarter notes / 4) / 1 bar: 2.5 cycles from the song's start.
    EXPECT_DOUBLE_EQ(send(10.0), 0.5);
    xlfo.noteOn();
    EXPECT_DOUBLE_EQ(xlfo.triggerReference(), 10.0);
    render(env, xlfo, 1000);
    // Six quarter notes after the note: one and a half bars, half a cycle.
    EXPECT_DOUBLE_EQ(send(16.0), 0.5);
    // A stopped host (same song position) leaves the XLFO running.
    render(env, xlfo, 1000);
    const double running = xlfo.rawPhase();
    EXPECT_DOUBLE_EQ(send(16.0), running);
    // With a factor of 2 a cycle lasts half a bar: five quarter notes are 2.5 cycles.
    controller.defaultOffset().setTarget(2.0f, 0.0f);
    EXPECT_DOUBLE_EQ(send(15.0), 0.5);
    // Without MIDI trigger the reference is the song's start: 17 / 4 * 2 = 8.5 cycles.
    xlfo.midiTrigger = false;
    EXPECT_DOUBLE_EQ(send(17.0), 0.5);
}

}  // namespace
