#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "dsp/DelayEffectUnit.h"
#include "dsp/DelayTimeController.h"
#include "tests/dsp/DspTestRig.h"
#include "tests/dsp/FilterTestRig.h"
#include "wave/Environment.h"
#include "wave/FloatParameterSource.h"

namespace {

using namespace dsptest;
using Unit = DelayEffectUnit;

constexpr float kRate = 48000.0f;

// The unit between two generators, the section switched on; settle() makes every ramp jump to
// its target and empties the lines.
struct UnitRig {
    explicit UnitRig(uint32_t block = kBlock, bool filters = false)
        : env(kRate, block), left(env), right(env), unit(env, filtertest::standardStyles()) {
        unit.setInput(0, &left);
        unit.setInput(1, &right);
        unit.enabled = true;
        for (int k = 0; k < Unit::kFilters; ++k) unit.filterSettings(k).enabled = filters;
        settle();
    }
    void settle() { env.reset(); }
    // Only the wet signal at full level, without feedback.
    void wetOnly() {
        for (int s = 0; s < Unit::kSides; ++s) side(s).feedback().setTarget(0.0f);
        unit.setDelayLevel(1.0f, 0.0f);
        unit.setDryLevel(0.0f, 0.0f);
    }
    std::vector<std::vector<float>> run(size_t length,
                                        const std::function<void(size_t)>& beforeChunk = nullptr) {
        return render(env, {&unit.output(0), &unit.output(1)}, length, env.blockSize(),
                      beforeChunk);
    }
    Unit::Channel& side(int s) { return unit.channel(s); }

    Env env;
    Playback left, right;
    Unit unit;
};

using Echoes = std::vector<std::pair<size_t, float>>;

// Every sample above -120 dB, with its value.
void expectEchoes(const std::vector<float>& out, const Echoes& expected) {
    const std::vector<size_t> at = peaks(out, 1e-6f);
    ASSERT_EQ(at.size(), expected.size());
    for (size_t k = 0; k < at.size(); ++k) {
        EXPECT_EQ(at[k], expected[k].first);
        EXPECT_FLOAT_EQ(out[at[k]], expected[k].second) << at[k];
    }
}

TEST(DelayEffectUnit, EchoesFeedbackCrossFeedbackLevelsAndPans) {
    // 350 ms, Delay Level 0.5, feedback 0.32; nothing crosses over.
    UnitRig rig;
    rig.left.kick();
    auto out = rig.run(60000);
    expectEchoes(out[0], {{0, 1.0f}, {16800, 0.5f}, {33600, 0.16f}, {50400, 0.0512f}});
    expectEchoes(out[1], {});

    // Cross feedback carries the left echo into the right line.
    rig.wetOnly();
    rig.side(1).time().setTarget(200.0f);  // 9600 samples
    rig.side(1).crossFeedback().setTarget(0.5f);
    rig.settle();
    rig.left.kick();
    out = rig.run(40000);
    expectEchoes(out[0], {{16800, 1.0f}});
    expectEchoes(out[1], {{16800 + 9600, 0.5f}});

    // Levels and pans follow the balance law: delay 0.6 / 0.8, dry 0.5 / 0.25.
    UnitRig panned;
    panned.unit.setDelayLevel(0.8f, 0.25f);
    panned.unit.setDryLevel(0.5f, -0.5f);
    panned.settle();
    panned.left.kick();
    panned.right.kick();
    out = panned.run(17000);
    expectEchoes(out[0], {{0, 0.5f}, {16800, 0.6f}});
    expectEchoes(out[1], {{0, 0.25f}, {16800, 0.8f}});
}

TEST(DelayEffectUnit, SynchronizedUltraShortAndLinkedTimes) {
    struct Case {
        int sync;
        float bpm, offset, time;
        size_t expected;
    };
    using C = DelayTimeController;
    // Synchronized: 500 ms, 333.3 ms, 250 ms / 2 and 6 s clamped to 5 s. Ultra Short maps
    // 10...5000 ms to 0.1...50 ms (whole samples) and has no feedback.
    for (const Case c : {Case{C::kQuarterNote, 120.0f, 1.0f, 350.0f, 24000},
                         Case{C::kEighthNote, 90.0f, 1.0f, 350.0f, 16000},
                         Case{C::kSixteenthNote, 120.0f, 2.0f, 350.0f, 12000},
                         Case{C::kHalfNote, 20.0f, 1.0f, 350.0f, 240000},
                         Case{C::kUltraShort, 120.0f, 1.0f, 5000.0f, 2400},
                         Case{C::kUltraShort, 120.0f, 1.0f, 1000.0f, 480},
                         Case{C::kUltraShort, 120.0f, 1.0f, 10.0f, 4}}) {
        UnitRig rig(256);
        rig.side(0).sync = c.sync;
        rig.side(0).offset().setTarget(c.offset);
        rig.side(0).time().setTarget(c.time);
        rig.side(0).feedback().setTarget(Unit::kMaxFeedback);
        rig.side(0).crossFeedback().setTarget(Unit::kMaxFeedback);
        rig.unit.setDryLevel(0.0f, 0.0f);
        rig.unit.setTempo(c.bpm);
        rig.unit.setTempo(0.0f);  // no tempo from the host: keep the last one
        rig.settle();
        rig.left.kick();
        const auto out = rig.run(c.sync == C::kUltraShort ? 30000 : c.expected + 100);
        SCOPED_TRACE(c.expected);
        expectEchoes(out[0], {{c.expected, 0.5f}});
    }

    // Linked, the right side follows the left times, synchronized or not.
    UnitRig rig;
    rig.side(0).time().setTarget(100.0f);  // 4800 samples
    rig.side(0).feedback().setTarget(0.5f);
    rig.side(1).time().setTarget(300.0f);
    rig.side(1).feedback().setTarget(0.0f);
    rig.unit.setDryLevel(0.0f, 0.0f);
    rig.unit.link = Unit::kLinked;
    rig.settle();
    rig.right.kick();
    expectEchoes(rig.run(15000)[1], {{4800, 0.5f}, {9600, 0.25f}, {14400, 0.125f}});
    // Linked sync too: the left side's quarter note at the default 120 BPM.
    rig.side(0).sync = DelayTimeController::kQuarterNote;
    rig.settle();
    rig.right.kick();
    EXPECT_EQ(peaks(rig.run(30000)[1], 1e-6f)[0], 24000u);
    rig.unit.link = Unit::kSeparate;
    rig.settle();
    rig.right.kick();
    expectEchoes(rig.run(20000)[1], {{14400, 0.5f}});
}

TEST(DelayEffectUnit, NothingOldIsReplayedAfterAReset) {
    UnitRig rig(kBlock, true);
    rig.side(0).feedback().setTarget(1.0f);
    rig.side(1).crossFeedback().setTarget(1.0f);
    rig.unit.setDryLevel(0.0f, 0.0f);
    rig.settle();
    rig.left.setGenerator(sineOf(300.0, 0.5, kRate));
    auto out = rig.run(40000);
    EXPECT_GT(std::min(rms(out[0], 20000), rms(out[1], 20000)), 0.05);
    rig.left.setGenerator(nullptr);
    rig.settle();
    out = rig.run(100000);
    // Silence, but for the filters' own offset of about -120 dB.
    EXPECT_TRUE(peaks(out[0], 1e-5f).empty() && peaks(out[1], 1e-5f).empty());
}

TEST(DelayEffectUnit, SwitchingOffFadesTheWetSignalThenStopsTheLines) {
    UnitRig rig;
    rig.wetOnly();
    rig.side(0).time().setTarget(10.0f);
    rig.settle();
    rig.left.setGenerator([](size_t) { return 1.0f; });
    auto out = rig.run(4800, [&](size_t at) {
        if (at == 3200) rig.side(0).enabled = false;
    })[0];
    // A linear fade over 20 ms (960 samples), without a jump.
    EXPECT_EQ(out[3199], 1.0f);
    EXPECT_NEAR(out[3200 + 480], 0.5f, 0.01f);
    EXPECT_EQ(out[3200 + 960 + 1], 0.0f);
    EXPECT_LE(largestStep(out, 3000), 1.1f / 960.0f);
    EXPECT_FALSE(rig.side(0).linesRunning());
    EXPECT_TRUE(rig.side(1).linesRunning());
    // Back on: the lines start empty, the old signal is not replayed.
    rig.left.setGenerator(nullptr);
    rig.side(0).enabled = true;
    EXPECT_TRUE(peaks(rig.run(4800)[0], 0.0f).empty());
    // The whole section off leaves the dry signal alone.
    rig.unit.setDryLevel(1.0f, 0.0f);
    rig.unit.enabled = false;
    rig.settle();
    rig.left.kick();
    EXPECT_EQ(peaks(rig.run(20000)[0], 0.0f), std::vector<size_t>{0});
    EXPECT_FALSE(rig.side(1).linesRunning());
}

TEST(DelayEffectUnit, FilterRoutingsPickTheFiltersAndPanSpreadsTheirCutOffs) {
    // Filter 1: a "Clean" low-pass at 200 Hz; filter 2 switched off. A 5 kHz tone is heard
    // through the wet signal only.
    struct Case {
        int routing;
        double left, right;
    };
    for (const Case c : {Case{Unit::kSerial, 0.0, 0.0}, Case{Unit::kParallel, 0.5, 0.5},
                         Case{Unit::kPerDelay, 0.0, 1.0}}) {
        UnitRig rig(kBlock, true);
        Unit::FilterSettings& f1 = rig.unit.filterSettings(0);
        f1.characteristic = MultiDesignFilter::kCleanIndex;
        f1.frequency().setTarget(std::log2(200.0f));
        rig.unit.filterSettings(1).enabled = false;
        rig.unit.filterRouting = c.routing;
        rig.wetOnly();
        for (int s = 0; s < Unit::kSides; ++s) rig.side(s).time().setTarget(10.0f);
        rig.settle();
        for (Playback* p : {&rig.left, &rig.right}) p->setGenerator(sineOf(5000.0, 0.5, kRate));
        const auto out = rig.run(9600);
        const double full = 0.5 / std::sqrt(2.0);
        EXPECT_NEAR(rms(out[0], 4800) / full, c.left, 0.01) << c.routing;
        EXPECT_NEAR(rms(out[1], 4800) / full, c.right, 0.01) << c.routing;
    }
    UnitRig rig;
    Unit::FilterSettings& f = rig.unit.filterSettings(1);
    f.frequency().setTarget(10.0f);
    f.pan().setTarget(1.5f);
    rig.settle();
    const auto sides = render(rig.env, {&f.sideFrequency(0), &f.sideFrequency(1)}, kBlock);
    EXPECT_EQ(sides[0][0], 11.5f);
    EXPECT_EQ(sides[1][0], 8.5f);
}

// Filters at 800 Hz, the sides at 120 and 170 ms; noise into the left side, a tone at the
// cut-off into the right. The peak output and the rms of each 10 s, or nothing once a sample is
// not finite.
struct Loop {
    int characteristic;
    float peak;
    bool bothFilters;
    float feedback, crossFeedback;
    bool limited;
    double seconds;
};
std::pair<float, std::vector<double>> playIntoTheLoop(const Loop& loop) {
    UnitRig rig(256, true);
    for (int k = 0; k < Unit::kFilters; ++k) {
        Unit::FilterSettings& f = rig.unit.filterSettings(k);
        f.enabled = k == 0 || loop.bothFilters;
        f.characteristic = loop.characteristic;
        f.frequency().setTarget(std::log2(800.0f));
        f.peak().setTarget(loop.peak);
    }
    rig.unit.filterSettings(1).response = GenericFilter::kBandPass;
    for (int s = 0; s < Unit::kSides; ++s) {
        rig.side(s).time().setTarget(s == 0 ? 120.0f : 170.0f);
        rig.side(s).feedback().setTarget(loop.feedback);
        rig.side(s).crossFeedback().setTarget(loop.crossFeedback);
        if (!loop.limited) rig.side(s).gainAdjuster().setReferenceEnvelope(nullptr);
    }
    rig.settle();
    uint32_t seed = 1;
    rig.left.setGenerator([&seed](size_t) {
        seed = seed * 1664525u + 1013904223u;
        return 0.5f * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
    });
    rig.right.setGenerator(sineOf(800.0, 0.5, kRate));
    float peak = 0.0f;
    std::vector<double> levels;
    const auto window = static_cast<size_t>(10.0 * kRate);
    for (size_t done = 0; done < static_cast<size_t>(loop.seconds * kRate); done += window) {
        const auto out = rig.run(window);
        for (const auto& side : out) {
            for (const float x : side) {
                if (!std::isfinite(x)) return {};
                peak = std::max(peak, std::fabs(x));
            }
        }
        levels.push_back(std::hypot(rms(out[0]), rms(out[1])) / std::sqrt(2.0));
    }
    return {peak, levels};
}

// Self-oscillating "Quorvalis Prime" filters with feedback and cross feedback at their maximum
// stay bounded and sounding. A "Clean" low-pass rises 16 dB at its cut-off: with feedback 0.9
// the loop gain there is above 1 unless the limiter takes the resonance back to the level before
// the filter; without it the loop grows until the loop's soft limiter holds it, far louder.
TEST(DelayEffectUnit, ResonantFiltersInTheLoopStayBoundedAndTheGainAdjusterHoldsThem) {
#ifdef NDEBUG
    constexpr double kSeconds = 60.0;
#else
    constexpr double kSeconds = 10.0;  // the same arithmetic, shortened for unoptimized builds
#endif
    const float most = Unit::kMaxFeedback;
    const auto [peak, levels] = playIntoTheLoop({0, 1.0f, true, most, most, true, kSeconds});
    ASSERT_FALSE(levels.empty());
    EXPECT_LT(peak, 2.0f);
    EXPECT_GT(levels.back(), 0.1);  // still sounding, not choked

    const int clean = MultiDesignFilter::kCleanIndex;
    const auto [cleanPeak, held] = playIntoTheLoop({clean, 0.9f, false, 0.9f, 0.0f, true, 30.0});
    const auto unlimited = playIntoTheLoop({clean, 0.9f, false, 0.9f, 0.0f, false, 30.0}).second;
    ASSERT_TRUE(held.size() == 3u && unlimited.size() == 3u);
    EXPECT_LT(held[2], 1.05 * held[1]);  // settled
    EXPECT_LT(cleanPeak, 200.0f);
    EXPECT_GT(unlimited.back(), 3.0 * held.back());
}

// The delay unit's tests hear the synchronized and ultra-short times as echoes; here: a new
// tempo glides with the automatic time, and a free line ignores it.
TEST(DelayTimeController, TempoChangesGlideAndFreeLinesIgnoreThem) {
    constexpr uint32_t kBlock = 32;
    Env env(48000.0f, kBlock);
    wave::FloatParameterSource time(env, 350.0f), offset(env, 1.0f);
    DelayTimeController controller(env);
    controller.setTimeInput(&time);
    controller.setOffsetInput(&offset);
    controller.setTempo(60.0f);
    EXPECT_EQ(controller.base().target(), 10.0f);

    controller.setMode(DelayTimeController::kQuarterNote);
    controller.setTempo(120.0f);
    env.reset();
    EXPECT_EQ(render(env, controller, kBlock, kBlock)[0], 500.0f);
    controller.setTempo(100.0f);
    const std::vector<float> out = render(env, controller, kBlock, kBlock);
    EXPECT_GT(out.back(), out[0]);
    EXPECT_LT(out.back(), 510.0f);
}

}  // namespace
