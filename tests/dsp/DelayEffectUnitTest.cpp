#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "dsp/DelayEffectUnit.h"
#include "tests/dsp/DelayTestSupport.h"
#include "tests/dsp/FilterResources.h"
#include "tests/support/AllocationCounter.h"

namespace {

using namespace delaytest;
using Unit = DelayEffectUnit;

// The unit between two generators, the section switched on and every value settled.
struct UnitRig {
    explicit UnitRig(uint32_t block = kBlock) : env(block), left(env), right(env), block(block) {
        env.setSampleRate(kRate);
        unit = std::make_unique<Unit>(env, filtertest::standardStyles());
        unit->setInput(0, &left);
        unit->setInput(1, &right);
        unit->enabled = true;
        settle();
    }
    // Ramps jump to their targets, lines start empty.
    void settle() { env.reset(); }
    // Filters out of the way: the wet signal is the line itself.
    void bypassFilters() {
        for (int k = 0; k < Unit::kFilters; ++k) unit->filterSettings(k).enabled = false;
    }
    // Only the wet signal at full level, without feedback.
    void wetOnly() {
        for (int s = 0; s < Unit::kSides; ++s) side(s).feedback().setTarget(0.0f);
        unit->setDelayLevel(1.0f, 0.0f);
        unit->setDryLevel(0.0f, 0.0f);
    }
    std::array<std::vector<float>, 2> run(
        size_t length, const std::function<void(size_t)>& beforeChunk = nullptr) {
        auto out = render(env, {&unit->output(0), &unit->output(1)}, length, block, beforeChunk);
        return {std::move(out[0]), std::move(out[1])};
    }
    Unit::Channel& side(int s) { return unit->channel(s); }

    wave::Environment env;
    GeneratorSource left;
    GeneratorSource right;
    uint32_t block;
    std::unique_ptr<Unit> unit;
};

double rms(const std::vector<float>& x, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t i = from; i < to; ++i) sum += static_cast<double>(x[i]) * x[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}

TEST(DelayEffectUnit, DefaultTimeEchoesAt350MsAndRepeatsDecayByTheFeedback) {
    UnitRig rig;
    rig.bypassFilters();
    rig.settle();
    rig.left.setGenerator(impulseAt(7));
    const auto out = rig.run(60000);
    // Dry at once, then Delay Level 0.5 times 1, 0.32, 0.32^2.
    EXPECT_EQ(peaks(out[0], 1e-6f), (std::vector<size_t>{7, 16807, 33607, 50407}));
    EXPECT_EQ(out[0][7], 1.0f);
    EXPECT_FLOAT_EQ(out[0][16807], 0.5f);
    EXPECT_FLOAT_EQ(out[0][33607], 0.5f * 0.32f);
    EXPECT_FLOAT_EQ(out[0][50407], 0.5f * 0.32f * 0.32f);
    EXPECT_TRUE(peaks(out[1], 0.0f).empty());
}

TEST(DelayEffectUnit, CrossFeedbackCarriesEachSideIntoTheOther) {
    UnitRig rig;
    rig.bypassFilters();
    rig.wetOnly();
    rig.side(1).time().setTarget(200.0f);         // 9600 samples
    rig.side(1).crossFeedback().setTarget(0.5f);  // the left echo into the right line
    rig.settle();
    rig.left.setGenerator(impulseAt(0));
    const auto out = rig.run(40000);
    EXPECT_EQ(peaks(out[0], 1e-6f), std::vector<size_t>{16800});
    EXPECT_EQ(peaks(out[1], 1e-6f), std::vector<size_t>{16800 + 9600});
    EXPECT_FLOAT_EQ(out[1][16800 + 9600], 0.5f);
}

TEST(DelayEffectUnit, SynchronizedTimesFollowTheTempo) {
    struct Case {
        int sync;
        float bpm;
        float offset;
        size_t expected;
    };
    for (const Case c : {
             Case{DelayTimeController::kQuarterNote, 120.0f, 1.0f, 24000},  // 500 ms
             Case{DelayTimeController::kEighthNote, 90.0f, 1.0f, 16000},    // 333.3 ms
             Case{DelayTimeController::kSixteenthNote, 120.0f, 2.0f, 12000},
             Case{DelayTimeController::kHalfNote, 20.0f, 1.0f, 240000},  // clamped to 5 s
         }) {
        UnitRig rig(256);
        rig.bypassFilters();
        rig.side(0).sync = c.sync;
        rig.side(0).offset().setTarget(c.offset);
        rig.unit->setTempo(c.bpm);
        rig.unit->setTempo(0.0f);  // no tempo from the host: keep the last one
        rig.settle();
        rig.left.setGenerator(impulseAt(0));
        const auto out = rig.run(c.expected + 100);
        EXPECT_EQ(peaks(out[0], 1e-6f), (std::vector<size_t>{0, c.expected})) << c.sync;
    }
}

TEST(DelayEffectUnit, UltraShortMapsTheTimeDownAndIgnoresFeedback) {
    struct Case {
        float time;
        size_t expected;
    };
    // 5000 ms becomes 50 ms (2400 samples); 10 ms becomes 0.1 ms (4.8, whole samples: 4).
    for (const Case c : {Case{5000.0f, 2400}, Case{10.0f, 4}, Case{1000.0f, 480}}) {
        UnitRig rig;
        rig.bypassFilters();
        rig.side(0).sync = DelayTimeController::kUltraShort;
        rig.side(0).time().setTarget(c.time);
        rig.side(0).feedback().setTarget(Unit::kMaxFeedback);
        rig.side(0).crossFeedback().setTarget(Unit::kMaxFeedback);
        rig.unit->setDryLevel(0.0f, 0.0f);
        rig.settle();
        rig.left.setGenerator(impulseAt(100));
        const auto out = rig.run(30000);
        EXPECT_EQ(peaks(out[0], 1e-6f), std::vector<size_t>{100 + c.expected}) << c.time;
        EXPECT_FLOAT_EQ(out[0][100 + c.expected], 0.5f);
    }
}

TEST(DelayEffectUnit, LinkedRightSideFollowsTheLeftSettings) {
    UnitRig rig;
    rig.bypassFilters();
    rig.side(0).time().setTarget(100.0f);  // 4800 samples
    rig.side(0).feedback().setTarget(0.5f);
    rig.side(1).time().setTarget(300.0f);
    rig.side(1).feedback().setTarget(0.0f);
    rig.unit->setDryLevel(0.0f, 0.0f);
    rig.unit->link = Unit::kLinked;
    rig.settle();
    rig.right.setGenerator(impulseAt(0));
    auto out = rig.run(15000);
    EXPECT_EQ(peaks(out[1], 1e-6f), (std::vector<size_t>{4800, 9600, 14400}));
    EXPECT_FLOAT_EQ(out[1][9600], 0.25f);

    // Linked sync too: the left side's quarter note at 120 BPM.
    rig.side(0).sync = DelayTimeController::kQuarterNote;
    rig.side(1).sync = DelayTimeController::kFree;
    rig.settle();
    rig.right.setGenerator(impulseAt(15000));
    out = rig.run(40000);
    EXPECT_EQ(peaks(out[1], 1e-6f)[0], 24000u);

    rig.unit->link = Unit::kSeparate;
    rig.settle();
    rig.right.setGenerator(impulseAt(55000));
    out = rig.run(20000);
    EXPECT_EQ(peaks(out[1], 1e-6f), std::vector<size_t>{14400});
}

TEST(DelayEffectUnit, NothingOldIsReplayedAfterAReset) {
    UnitRig rig;
    rig.side(0).feedback().setTarget(1.0f);
    rig.side(1).crossFeedback().setTarget(1.0f);
    rig.unit->setDryLevel(0.0f, 0.0f);
    rig.settle();
    rig.left.setGenerator(sineOf(300.0, 0.5));
    auto out = rig.run(40000);
    EXPECT_GT(rms(out[0], 20000, 40000), 0.05);
    EXPECT_GT(rms(out[1], 20000, 40000), 0.05);
    rig.left.setGenerator(nullptr);
    rig.settle();
    out = rig.run(100000);
    // Silence, but for the filters' own offset of about -120 dB.
    EXPECT_TRUE(peaks(out[0], 1e-5f).empty());
    EXPECT_TRUE(peaks(out[1], 1e-5f).empty());
}

TEST(DelayEffectUnit, ATimeChangeWhileSoundingBendsWithoutClicks) {
    UnitRig rig;
    rig.bypassFilters();
    rig.wetOnly();
    rig.settle();
    rig.left.setGenerator(sineOf(1000.0, 0.5));
    const auto out = rig.run(72000, [&](size_t at) {
        // Slow enough to bend the pitch down, not to play backwards.
        if (at == 24000) rig.side(0).time().setTarget(420.0f);
    });
    EXPECT_LE(largestStep(out[0], 16801), largestStep(sineBuffer(1000.0, 0.5, 48000)));
    EXPECT_GT(rms(out[0], 60000, 72000), 0.3);
}

TEST(DelayEffectUnit, SwitchingOffFadesTheWetSignalThenStopsTheLines) {
    UnitRig rig;
    rig.bypassFilters();
    rig.wetOnly();
    rig.side(0).time().setTarget(10.0f);
    rig.settle();
    rig.left.setGenerator([](size_t) { return 1.0f; });
    auto isRunning = [&](DelayLine& line) {
        const auto& list = rig.env.runList();
        return std::find(list.begin(), list.end(), &line) != list.end();
    };
    auto out = rig.run(4800, [&](size_t at) {
        if (at == 3200) rig.side(0).enabled = false;
    });
    EXPECT_EQ(out[0][3199], 1.0f);
    // A linear fade over 20 ms (960 samples), without a jump.
    EXPECT_NEAR(out[0][3200 + 480], 0.5f, 0.01f);
    EXPECT_EQ(out[0][3200 + 960 + 1], 0.0f);
    EXPECT_LE(largestStep(out[0], 3000), 1.1f / 960.0f);
    EXPECT_FALSE(rig.side(0).linesRunning());
    EXPECT_FALSE(isRunning(rig.side(0).mainLine()));
    EXPECT_TRUE(isRunning(rig.side(1).mainLine()));

    // Back on: the lines start empty, the old signal is not replayed.
    rig.left.setGenerator(nullptr);
    rig.side(0).enabled = true;
    EXPECT_TRUE(isRunning(rig.side(0).mainLine()));
    out = rig.run(4800);
    EXPECT_TRUE(peaks(out[0], 0.0f).empty());

    // The whole section off leaves the dry signal alone.
    rig.unit->setDryLevel(1.0f, 0.0f);
    rig.unit->enabled = false;
    rig.settle();
    rig.left.setGenerator(impulseAt(rig.left.position()));
    out = rig.run(20000);
    EXPECT_EQ(peaks(out[0], 0.0f), std::vector<size_t>{0});
    EXPECT_FALSE(rig.side(1).linesRunning());
}

TEST(DelayEffectUnit, LevelsAndPansFollowTheBalanceLaw) {
    UnitRig rig;
    rig.bypassFilters();
    rig.unit->setDelayLevel(0.8f, 0.25f);  // left 0.6, right 0.8
    rig.unit->setDryLevel(0.5f, -0.5f);    // left 0.5, right 0.25
    rig.settle();
    rig.left.setGenerator(impulseAt(0));
    rig.right.setGenerator(impulseAt(0));
    const auto out = rig.run(17000);
    EXPECT_FLOAT_EQ(out[0][0], 0.5f);
    EXPECT_FLOAT_EQ(out[1][0], 0.25f);
    EXPECT_FLOAT_EQ(out[0][16800], 0.6f);
    EXPECT_FLOAT_EQ(out[1][16800], 0.8f);
}

TEST(DelayEffectUnit, FilterRoutingsPickTheFilters) {
    // Filter 1: a "Clean" low-pass at 200 Hz; filter 2 switched off. A 5 kHz tone is heard
    // through the wet signal only.
    struct Case {
        int routing;
        double left;
        double right;
    };
    for (const Case c : {Case{Unit::kSerial, 0.0, 0.0}, Case{Unit::kParallel, 0.5, 0.5},
                         Case{Unit::kPerDelay, 0.0, 1.0}}) {
        UnitRig rig;
        Unit::FilterSettings& f1 = rig.unit->filterSettings(0);
        f1.characteristic = MultiDesignFilter::kCleanIndex;
        f1.frequency().setTarget(std::log2(200.0f));
        rig.unit->filterSettings(1).enabled = false;
        rig.unit->filterRouting = c.routing;
        rig.wetOnly();
        for (int s = 0; s < Unit::kSides; ++s) rig.side(s).time().setTarget(10.0f);
        rig.settle();
        rig.left.setGenerator(sineOf(5000.0, 0.5));
        rig.right.setGenerator(sineOf(5000.0, 0.5));
        const auto out = rig.run(9600);
        const double full = 0.5 / std::sqrt(2.0);
        EXPECT_NEAR(rms(out[0], 4800, 9600) / full, c.left, 0.01) << c.routing;
        EXPECT_NEAR(rms(out[1], 4800, 9600) / full, c.right, 0.01) << c.routing;
    }
}

TEST(DelayEffectUnit, FilterPanSpreadsTheCutOffsOfTheTwoSides) {
    UnitRig rig;
    Unit::FilterSettings& f = rig.unit->filterSettings(1);
    f.frequency().setTarget(10.0f);
    f.pan().setTarget(1.5f);
    rig.settle();
    rig.env.beginChunk();
    EXPECT_EQ(f.sideFrequency(0).pull(kBlock, 0)[0], 11.5f);
    EXPECT_EQ(f.sideFrequency(1).pull(kBlock, 0)[0], 8.5f);
    rig.env.finishChunk(kBlock, false);
}

struct LoopLevels {
    bool finite = true;
    float peak = 0.0f;
    std::vector<double> rmsPer10s;
};

// Noise into the left side, a tone at the filters' cut-off into the right side.
LoopLevels playIntoTheLoop(UnitRig& rig, double seconds) {
    uint32_t seed = 1;
    rig.left.setGenerator([&seed](size_t) {
        seed = seed * 1664525u + 1013904223u;
        return 0.5f * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
    });
    rig.right.setGenerator(sineOf(800.0, 0.5));
    LoopLevels levels;
    const auto window = static_cast<size_t>(10.0 * kRate);
    const auto length = static_cast<size_t>(seconds * kRate);
    double energy = 0.0;
    for (size_t done = 0; done < length && levels.finite; done += rig.block) {
        rig.env.beginChunk();
        for (int s = 0; s < Unit::kSides; ++s) {
            const float* x = rig.unit->output(s).pull(rig.block, 0);
            for (uint32_t i = 0; i < rig.block; ++i) {
                levels.finite = levels.finite && std::isfinite(x[i]);
                levels.peak = std::max(levels.peak, std::fabs(x[i]));
                energy += static_cast<double>(x[i]) * x[i];
            }
        }
        rig.env.finishChunk(rig.block, false);
        if ((done + rig.block) % window == 0) {
            levels.rmsPer10s.push_back(std::sqrt(energy / (2.0 * window)));
            energy = 0.0;
        }
    }
    return levels;
}

// Filters at 800 Hz with the given characteristic and peak (filter 2 only if `both`); the sides
// at 120 and 170 ms with the given feedback.
void resonantLoop(UnitRig& rig, int characteristic, float peak, bool both, float feedback) {
    for (int k = 0; k < Unit::kFilters; ++k) {
        Unit::FilterSettings& f = rig.unit->filterSettings(k);
        f.enabled = k == 0 || both;
        f.characteristic = characteristic;
        f.frequency().setTarget(std::log2(800.0f));
        f.peak().setTarget(peak);
    }
    for (int s = 0; s < Unit::kSides; ++s) {
        rig.side(s).time().setTarget(s == 0 ? 120.0f : 170.0f);
        rig.side(s).feedback().setTarget(feedback);
    }
}

TEST(DelayEffectUnit, MaximumFeedbackThroughResonantFiltersStaysBounded) {
#ifdef NDEBUG
    constexpr double kSeconds = 60.0;
#else
    constexpr double kSeconds = 10.0;  // the same arithmetic, shortened for unoptimized builds
#endif
    // Self-oscillating characteristic filters, feedback and cross feedback at their maximum.
    UnitRig rig(256);
    resonantLoop(rig, 0 /* "Quorvalis Prime" */, 1.0f, true, Unit::kMaxFeedback);
    rig.unit->filterSettings(1).response = GenericFilter::kBandPass;
    for (int s = 0; s < Unit::kSides; ++s)
        rig.side(s).crossFeedback().setTarget(Unit::kMaxFeedback);
    rig.settle();
    const LoopLevels levels = playIntoTheLoop(rig, kSeconds);
    EXPECT_TRUE(levels.finite);
    EXPECT_LT(levels.peak, 2.0f);
    EXPECT_GT(levels.rmsPer10s.back(), 0.1);  // still sounding, not choked
}

TEST(DelayEffectUnit, TheGainAdjusterHoldsALinearResonanceInTheLoop) {
    // A "Clean" low-pass rises 16 dB at its cut-off: with feedback 0.9 the loop gain there is
    // above 1 unless the limiter takes the resonance back to the level before the filter.
    // Without it the loop grows until the loop's soft limiter holds it, far louder.
    double limitedRms = 0.0;
    for (const bool limited : {true, false}) {
        UnitRig rig(256);
        resonantLoop(rig, MultiDesignFilter::kCleanIndex, 0.9f, false, 0.9f);
        for (int s = 0; s < Unit::kSides; ++s) {
            if (!limited) rig.side(s).gainAdjuster().setReferenceEnvelope(nullptr);
        }
        rig.settle();
        const LoopLevels levels = playIntoTheLoop(rig, 30.0);
        if (limited) {
            ASSERT_TRUE(levels.finite);
            ASSERT_EQ(levels.rmsPer10s.size(), 3u);
            // Settled: the last ten seconds are no louder than the ten before.
            EXPECT_LT(levels.rmsPer10s[2], 1.05 * levels.rmsPer10s[1]);
            EXPECT_LT(levels.peak, 200.0f);
            limitedRms = levels.rmsPer10s.back();
        } else {
            ASSERT_TRUE(levels.finite);
            EXPECT_GT(levels.rmsPer10s.back(), 3.0 * limitedRms);
        }
    }
}

TEST(DelayEffectUnit, RenderingAndParameterChangesDoNotAllocate) {
    UnitRig rig;
    for (int k = 0; k < Unit::kFilters; ++k) rig.unit->filterSettings(k).peak().setTarget(0.5f);
    rig.left.setGenerator(sineOf(440.0, 0.5));
    rig.right.setGenerator(sineOf(660.0, 0.5));
    rig.run(4800);
    // Built before the guard; one change every 20 chunks, the section off from 200 to 300.
    const std::function<void()> changes[] = {
        [&] { rig.side(0).time().setTarget(500.0f); },
        [&] { rig.side(1).sync = DelayTimeController::kUltraShort; },
        [&] { rig.unit->link = Unit::kLinked; },
        [&] { rig.unit->filterRouting = Unit::kParallel; },
        [&] { rig.unit->filterSettings(0).characteristic = MultiDesignFilter::kCleanIndex; },
        [&] { rig.unit->filterSettings(1).slope = GenericFilter::kSlope48; },
        [&] { rig.unit->setTempo(97.0f); },
        [&] { rig.side(0).sync = DelayTimeController::kEighthNote; },
    };
    AllocationGuard guard;
    for (int chunk = 0; chunk < 400; ++chunk) {
        if (chunk % 20 == 0 && chunk > 0 && chunk <= 160) changes[chunk / 20 - 1]();
        if (chunk == 200 || chunk == 300) rig.unit->enabled = chunk == 300;
        rig.env.beginChunk();
        rig.unit->output(0).pull(kBlock, 0);
        rig.unit->output(1).pull(kBlock, 0);
        rig.env.finishChunk(kBlock, false);
    }
    rig.env.reset();
    EXPECT_EQ(guard.allocations(), 0u);
}

}  // namespace
