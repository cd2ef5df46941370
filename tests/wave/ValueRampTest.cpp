#include <gtest/gtest.h>

#include <algorithm>

#include "wave/Environment.h"
#include "wave/FloatParameterSource.h"
#include "wave/ValueRamp.h"
#include "tests/wave/TestSources.h"
#include "tests/support/AllocationCounter.h"

namespace wave {
namespace {

constexpr uint32_t kBlock = 64;
constexpr float kRate = 48000.0f;

class ValueRampTest : public ::testing::Test {
protected:
    ValueRampTest() : env(kBlock) { test::startClock(env, kRate, kBlock); }
    // A chunk in which the ramp is not rendered.
    void skip(uint32_t frames = kBlock) {
        env.beginChunk();
        env.finishChunk(frames, true);
    }
    // A chunk in which the ramp is rendered; returns the constant report.
    bool renderChunk(ValueRamp& ramp, uint32_t frames = kBlock) {
        env.beginChunk();
        const bool constant = ramp.render(frames);
        env.finishChunk(frames, false);
        return constant;
    }
    // Glide length in samples, measured by rendering until the value settles.
    int64_t measuredLength(ValueRamp& ramp) {
        for (int64_t n = 0;;) {
            if (renderChunk(ramp)) return n;
            for (uint32_t i = 0; i < kBlock; ++i, ++n) {
                if (ramp.data()[i] == ramp.target()) return n;
            }
        }
    }

    Environment env;
};

TEST_F(ValueRampTest, LimitsFollowTheInitialValue) {
    struct Case {
        float initial, minimum, maximum;
    };
    for (const Case& c :
         {Case{0.25f, 0.0f, 1.0f}, Case{-3.0f, -3.0f, 1.0f}, Case{5.0f, 0.0f, 5.0f}}) {
        ValueRamp ramp(env, c.initial);
        EXPECT_FLOAT_EQ(ramp.minimum(), c.minimum) << c.initial;
        EXPECT_FLOAT_EQ(ramp.maximum(), c.maximum) << c.initial;
        EXPECT_FLOAT_EQ(ramp.range(), c.maximum - c.minimum) << c.initial;
        EXPECT_TRUE(renderChunk(ramp));
        EXPECT_EQ(ramp.data()[kBlock - 1], c.initial);
    }
}

TEST_F(ValueRampTest, LinearGlideReachesTargetExactly) {
    ValueRamp ramp(env, 0.0f);
    ramp.setTarget(1.0f, 1.0f);  // 48 samples
    EXPECT_EQ(ramp.glideLength(), 48);
    EXPECT_TRUE(ramp.isGliding());
    env.beginChunk();
    EXPECT_FALSE(ramp.render(kBlock));
    const float first = ramp.data()[10];
    EXPECT_FALSE(ramp.render(kBlock));  // a repeated render in one chunk is identical
    EXPECT_EQ(ramp.data()[10], first);
    env.finishChunk(kBlock, false);
    for (uint32_t i = 0; i < 48; ++i) EXPECT_NEAR(ramp.data()[i], i / 48.0f, 1e-6f) << i;
    for (uint32_t i = 48; i < kBlock; ++i) EXPECT_EQ(ramp.data()[i], 1.0f) << i;
    EXPECT_FALSE(ramp.isGliding());
    EXPECT_TRUE(renderChunk(ramp));
    EXPECT_EQ(ramp.data()[0], 1.0f);

    ramp.setTarget(5.0f, 1.0f);  // clamped to the maximum
    EXPECT_EQ(ramp.target(), 1.0f);
    EXPECT_FALSE(ramp.isGliding());
}

TEST_F(ValueRampTest, FollowsTheSampleClockNotTheCalls) {
    ValueRamp ramp(env, 0.0f);
    ramp.setTarget(1.0f, 10.0f);  // 480 samples
    renderChunk(ramp);
    skip();
    skip();
    renderChunk(ramp, 32);
    EXPECT_NEAR(ramp.data()[0], 192.0f / 480.0f, 1e-6f);
    EXPECT_NEAR(ramp.data()[31], 223.0f / 480.0f, 1e-6f);
    EXPECT_NEAR(ramp.currentValue(), 224.0f / 480.0f, 1e-6f);

    env.beginChunk();
    ramp.advance(kBlock);
    env.finishChunk(kBlock, false);
    renderChunk(ramp);
    EXPECT_NEAR(ramp.data()[0], 288.0f / 480.0f, 1e-6f);
}

TEST_F(ValueRampTest, ResetAndResetMarkerJumpToTarget) {
    ValueRamp ramp(env, 0.0f);
    ramp.setTarget(1.0f, 100.0f);
    renderChunk(ramp);
    EXPECT_TRUE(ramp.isGliding());
    env.reset();
    EXPECT_TRUE(renderChunk(ramp));
    EXPECT_EQ(ramp.data()[0], 1.0f);

    ramp.setTarget(0.0f, 100.0f);
    renderChunk(ramp);
    env.markReset();
    EXPECT_TRUE(renderChunk(ramp));
    EXPECT_EQ(ramp.data()[0], 0.0f);

    // A change queued together with the marker (state load) applies at once as well.
    ramp.setTarget(0.5f, 100.0f);
    env.markReset();
    EXPECT_TRUE(renderChunk(ramp));
    EXPECT_EQ(ramp.data()[kBlock - 1], 0.5f);
}

TEST_F(ValueRampTest, ShortGlidesApplyAtOnceAndSameTargetDoesNotRestart) {
    ValueRamp ramp(env, 0.0f);
    ramp.setTarget(0.7f, 0.0f);
    EXPECT_FALSE(ramp.isGliding());
    EXPECT_EQ(ramp.glideLength(), 0);
    EXPECT_TRUE(renderChunk(ramp));
    EXPECT_EQ(ramp.data()[0], 0.7f);
    ramp.setTarget(0.2f, 0.01f);  // under one sample
    EXPECT_TRUE(renderChunk(ramp));
    EXPECT_EQ(ramp.data()[0], 0.2f);

    ramp.setTarget(1.0f, 10.0f);
    renderChunk(ramp);
    ramp.setTarget(1.0f + 1e-8f, 10.0f);
    ramp.setTarget(1.0f, -1.0f);
    renderChunk(ramp);
    EXPECT_NEAR(ramp.data()[0], 0.2f + 0.8f * 64.0f / 480.0f, 1e-6f);
}

TEST_F(ValueRampTest, RetargetStartsFromTheCurrentValueAndFinishEnds) {
    ValueRamp ramp(env, 0.0f);
    ramp.setTarget(1.0f, 10.0f);
    renderChunk(ramp);
    skip();  // the glide is at 128/480 now
    ramp.setTarget(0.0f, 1.0f);
    renderChunk(ramp);
    EXPECT_NEAR(ramp.data()[0], 128.0f / 480.0f, 1e-6f);
    EXPECT_NEAR(ramp.data()[24], 128.0f / 480.0f * 0.5f, 1e-6f);
    EXPECT_EQ(ramp.data()[48], 0.0f);

    ramp.setTarget(0.6f, 50.0f);
    renderChunk(ramp);
    EXPECT_NEAR(ramp.currentValue(), 0.6f * 64.0f / 2400.0f, 1e-6f);
    ramp.finish();
    EXPECT_FALSE(ramp.isGliding());
    EXPECT_EQ(ramp.currentValue(), 0.6f);
    EXPECT_TRUE(renderChunk(ramp));
    EXPECT_EQ(ramp.data()[0], 0.6f);
}

TEST_F(ValueRampTest, CyclicValuesTakeTheShorterWay) {
    struct Case {
        float from, to;
        bool wideLimits;
        float at0, at24;
    };
    for (const Case& c : {
             Case{0.1f, 0.9f, true, 1.1f, 1.0f},    // 1.1 -> 0.9 through 1.0 (= 0)
             Case{0.9f, 0.1f, true, -0.1f, 0.0f},   // -0.1 up through 0 to 0.1
             Case{0.1f, 0.9f, false, 1.0f, 0.95f},  // limits 0..1 cut the start to 1.0
             Case{0.2f, 0.6f, false, 0.2f, 0.4f},   // within half a cycle: no wrap
         }) {
        ValueRamp ramp(env, c.from);
        if (c.wideLimits) ramp.setLimits(-1.0f, 2.0f);
        ramp.setCycle(1.0f);
        ramp.setTarget(c.to, 1.0f);
        renderChunk(ramp);
        EXPECT_NEAR(ramp.data()[0], c.at0, 1e-6f) << c.from << " -> " << c.to;
        EXPECT_NEAR(ramp.data()[24], c.at24, 1e-6f) << c.from << " -> " << c.to;
        EXPECT_EQ(ramp.data()[48], c.to) << c.from << " -> " << c.to;
        if (c.from == 0.1f && c.wideLimits) {
            for (uint32_t i = 1; i < 48; ++i) EXPECT_LT(ramp.data()[i], ramp.data()[i - 1]) << i;
            EXPECT_NEAR(ramp.data()[47], 0.9f + 0.2f / 48.0f, 1e-6f);
        }
    }
}

TEST_F(ValueRampTest, AutomaticGlideTimes) {
    // At 48 kHz: 20 ms = 960 samples for 30 % of the range or more, 150 ms = 7200 at the limit
    // of tiny moves, (20 + 130 * ((0.3 - r) * 3.3333333)^2) ms in between.
    struct Case {
        float from, to;
        int64_t samples;
    };
    for (const Case& c : {Case{0.5f, 1.0f, 960}, Case{0.0f, 0.3f, 960}, Case{0.5f, 0.7f, 1653},
                          Case{0.5f, 0.6f, 3733}, Case{0.5f, 0.501f, 7158}}) {
        ValueRamp ramp(env, c.from);
        ramp.setTarget(c.to, -1.0f);
        EXPECT_EQ(ramp.glideLength(), c.samples) << c.from << " -> " << c.to;
    }

    ValueRamp bipolar(env, 0.0f);
    bipolar.setLimits(-1.0f, 1.0f);  // range 2: a move of 0.4 is 20 %
    bipolar.setTarget(-0.4f, -1.0f);
    EXPECT_EQ(bipolar.glideLength(), 1653);
    EXPECT_EQ(measuredLength(bipolar), 1653);

    ValueRamp fixed(env, 0.5f);
    fixed.setAutoTimes(20.0f, 20.0f);
    fixed.setTarget(0.501f, -1.0f);
    EXPECT_EQ(fixed.glideLength(), 960);
}

class FloatParameterSourceTest : public ::testing::Test {
protected:
    FloatParameterSourceTest() : env(test::kBlock) { test::startClock(env, kRate, test::kBlock); }
    Environment env;
};

TEST_F(FloatParameterSourceTest, OutputsItsRampInTimeWithTheClock) {
    using test::kBlock;
    FloatParameterSource settled(env, 0.3f);
    EXPECT_EQ(test::pullChunk(env, settled)[kBlock - 1], 0.3f);
    EXPECT_TRUE(settled.isConstant());

    FloatParameterSource source(env, 0.0f), advanced(env, 0.0f);
    source.setTarget(1.0f, 10.0f);  // 480 samples
    advanced.setTarget(1.0f, 10.0f);
    env.registerRun(&advanced, Environment::kModeAdvance);
    AllocationGuard guard;
    const float* out = test::pullChunk(env, source);  // advanced runs with flags 1
    EXPECT_EQ(out, source.ramp().data());
    EXPECT_FALSE(source.isConstant());
    EXPECT_NEAR(out[31], 31.0f / 480.0f, 1e-6f);
    EXPECT_TRUE(advanced.isConstant());
    EXPECT_NEAR(test::pullChunk(env, advanced)[0], 32.0f / 480.0f, 1e-6f);

    // Pulled only every other chunk: the glide stays in time with the clock.
    EXPECT_NEAR(test::pullChunk(env, source)[0], 64.0f / 480.0f, 1e-6f);
    EXPECT_EQ(guard.allocations(), 0u);
}

TEST_F(FloatParameterSourceTest, ForwardersShareOneGlide) {
    using test::kBlock;
    FloatParameterSource source(env, 0.0f);
    FloatParameterForwarder a(env, source.ramp()), b(env, source.ramp());
    source.setTarget(1.0f, 1.0f);  // 48 samples: ends in the second chunk

    for (uint32_t chunk = 0; chunk < 2; ++chunk) {
        test::runChunk(env, kBlock, [&] {
            const float* fromSource = source.pull(kBlock, 0);
            EXPECT_EQ(a.pull(kBlock, 0), fromSource);
            const float* fromB = b.pull(kBlock, 0);
            EXPECT_EQ(fromB, fromSource);
            for (uint32_t i = 0; i < kBlock; ++i) {
                const float expected = std::min((chunk * kBlock + i) / 48.0f, 1.0f);
                EXPECT_NEAR(fromB[i], expected, 1e-6f) << chunk << ":" << i;
            }
            EXPECT_FALSE(b.isConstant());
        });
    }
    test::pullChunk(env, b);
    EXPECT_TRUE(b.isConstant());
}

}  // namespace
}  // namespace wave
