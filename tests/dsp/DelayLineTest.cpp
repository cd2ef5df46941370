#include <gtest/gtest.h>

#include <vector>

#include "dsp/DelayLine.h"
#include "tests/dsp/DspTestRig.h"
#include "wave/Mixer.h"

namespace {

using namespace dsptest;
using Order = DelayLine::Order;

constexpr float kRate = 48000.0f;

struct Rig {
    explicit Rig(float maxTime, Order order, float rate = kRate, uint32_t block = kBlock)
        : env(rate, block), source(env), line(env, maxTime, order) {
        line.setInput(&source);
    }
    std::vector<float> run(size_t length, uint32_t block = kBlock,
                           const std::function<void(size_t)>& beforeChunk = nullptr) {
        return render(env, {&line}, length, block, beforeChunk)[0];
    }
    void setTime(float t) { line.defaultTime().setTarget(t, 0.0f); }

    Env env;
    Playback source;
    DelayLine line;
};

TEST(DelayLine, ImpulseReturnsAfterTheDelayToTheSample) {
    struct Case {
        Order order;
        float rate;
        uint32_t block;
        float maxTime, time;
        bool sampleMode;
        size_t expected;
    };
    // 350 ms: 16800 samples at 48 kHz, 15435 at 44.1 kHz, in blocks that do not divide it. A
    // write-before-read line delays by less than a block, down to nothing. In sample mode the
    // time is rounded to whole samples. The ring holds 5 s at 192 kHz.
    const Order r = Order::kReadBeforeWrite, w = Order::kWriteBeforeRead;
    for (const Case c : {Case{r, 48000.0f, 64, 5000.0f, 350.0f, false, 16800},
                         Case{w, 48000.0f, 64, 5000.0f, 350.0f, false, 16800},
                         Case{r, 48000.0f, 48, 5000.0f, 350.0f, false, 16800},
                         Case{r, 44100.0f, 256, 5000.0f, 350.0f, false, 15435},
                         Case{w, 48000.0f, 64, 50.0f, 0.5f, false, 24},
                         Case{w, 48000.0f, 64, 50.0f, 0.0f, false, 0},
                         Case{r, 48000.0f, 64, 10.0f, 1000.4f, true, 1000},
                         Case{r, 192000.0f, 256, 5000.0f, 5000.0f, false, 960000}}) {
        Rig rig(c.maxTime, c.order, c.rate, c.block);
        rig.line.setSampleMode(c.sampleMode);
        rig.setTime(c.time);
        rig.source.setGenerator(impulseAt(7, 0.75f));
        const std::vector<float> out = rig.run(c.expected + 300, c.block);
        EXPECT_EQ(peaks(out, 0.0f), std::vector<size_t>{c.expected + 7}) << c.expected;
        EXPECT_EQ(out[c.expected + 7], 0.75f);
        EXPECT_TRUE(rig.line.lastReadWasCopy());
        EXPECT_EQ(rig.line.ringLength(), c.block + static_cast<uint32_t>(c.maxTime * 192));
    }
}

// A read-before-write line in a feedback loop, through a mixer, runs from the run list while
// nobody pulls it; a time beyond the line is clamped to its length.
TEST(DelayLine, FeedbackLoopRunsUnpulledAndTimesBeyondTheLineAreClamped) {
    Env env(kRate);
    Playback source(env, impulseAt(0));
    DelayLine line(env, 100.0f, Order::kReadBeforeWrite);
    wave::Mixer loop(env, 2);
    loop.setSignal(0, &source);
    loop.setSignal(1, &line);
    loop.setGainTarget(1, 0.5f, 0.0f);
    line.setInput(&loop);
    line.defaultTime().setTarget(2.0f, 0.0f);  // 96 samples
    render(env, {}, 128);
    const std::vector<float> out = render(env, {&line}, 512)[0];
    EXPECT_EQ(peaks(out, 0.0f), (std::vector<size_t>{64, 160, 256, 352, 448}));
    EXPECT_EQ(out[448], 0.03125f);

    wave::FloatParameterSource time(env, 80.0f);  // beyond the 50 ms of the line
    time.ramp().setLimits(0.0f, 100.0f);
    DelayLine shorter(env, 50.0f, Order::kWriteBeforeRead);
    source.kick();
    shorter.setInput(&source);
    shorter.setTimeInput(&time);
    EXPECT_EQ(peaks(render(env, shorter, 5000), 0.0f), std::vector<size_t>{2400});
}

TEST(DelayLine, TimeChangesGlideAtFiveHertzWithoutOvershootThenCopyAgain) {
    Rig rig(1000.0f, Order::kReadBeforeWrite);
    rig.setTime(100.0f);  // 4800 samples
    rig.source.setGenerator([](size_t n) { return n + 1.0f; });
    constexpr size_t kChange = 9600;
    bool copiedWhileMoving = false;
    const std::vector<float> out = rig.run(kChange + 48000, kBlock, [&](size_t at) {
        if (at == kChange) rig.setTime(110.0f);  // 5280 samples
        copiedWhileMoving |= at > kChange && at < kChange + 4800 && rig.line.lastReadWasCopy();
    });
    EXPECT_FALSE(copiedWhileMoving);
    EXPECT_TRUE(rig.line.lastReadWasCopy());
    // The delay of every sample, read back through the ramp (interpolation is exact on it).
    std::vector<double> d(out.size());
    for (size_t t = 0; t < out.size(); ++t) d[t] = static_cast<double>(t + 1) - out[t];
    EXPECT_NEAR(d[kChange - 1], 4800.0, 1e-9);
    for (size_t t = kChange; t < d.size(); ++t) {
        ASSERT_GE(d[t], d[t - 1] - 0.02) << t;  // never turns back
        ASSERT_LE(d[t], 5280.02) << t;          // never overshoots
    }
    // Critically damped at 5 Hz: half-way after 1.678 / (2 pi 5) s = 53.4 ms.
    const auto half = kChange + static_cast<size_t>(0.0534 * kRate);
    EXPECT_NEAR((d[half] - 4800.0) / 480.0, 0.5, 0.03);
    EXPECT_NEAR(d.back(), 5280.0, 1e-9);
}

}  // namespace
