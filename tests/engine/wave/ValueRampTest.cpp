#include <gtest/gtest.h>

#include <cmath>

#include "engine/wave/Environment.h"
#include "engine/wave/ValueRamp.h"

namespace wave {
namespace {

constexpr uint32_t kBlock = 64;
constexpr float kRate = 48000.0f;

class ValueRampTest : public ::testing::Test {
protected:
    ValueRampTest() : env(kBlock) {
        env.setSampleRate(kRate);
        skip(kBlock);  // glides are timed from a running clock
    }
    // A chunk in which the ramp is not rendered.
    void skip(uint32_t frames) {
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
    static int64_t measuredLength(Environment& env, ValueRamp& ramp) {
        int64_t n = 0;
        while (true) {
            env.beginChunk();
            const bool constant = ramp.render(kBlock);
            env.finishChunk(kBlock, false);
            if (constant) return n;
            for (uint32_t i = 0; i < kBlock; ++i, ++n) {
                if (ramp.data()[i] == ramp.target()) return n;
            }
        }
    }

    Environment env;
};

TEST_F(ValueRampTest, InitialState) {
    ValueRamp ramp(env, 0.25f);
    EXPECT_FLOAT_EQ(ramp.minimum(), 0.0f);
    EXPECT_FLOAT_EQ(ramp.maximum(), 1.0f);
    EXPECT_FLOAT_EQ(ramp.range(), 1.0f);
    EXPECT_TRUE(renderChunk(ramp));
    for (uint32_t i = 0; i < kBlock; ++i) EXPECT_EQ(ramp.data()[i], 0.25f);

    ValueRamp wide(env, -3.0f);
    EXPECT_FLOAT_EQ(wide.minimum(), -3.0f);
    EXPECT_FLOAT_EQ(wide.range(), 4.0f);
    ValueRamp high(env, 5.0f);
    EXPECT_FLOAT_EQ(high.maximum(), 5.0f);
    EXPECT_FLOAT_EQ(high.minimum(), 0.0f);
}

TEST_F(ValueRampTest, LinearGlideReachesTargetExactly) {
    ValueRamp ramp(env, 0.0f);
    ramp.setTarget(1.0f, 1.0f);  // 48 samples
    EXPECT_EQ(ramp.glideLength(), 48);
    EXPECT_TRUE(ramp.isGliding());
    EXPECT_FALSE(renderChunk(ramp));
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
    skip(kBlock);
    skip(kBlock);
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

TEST_F(ValueRampTest, RepeatedRenderInOneChunkIsIdentical) {
    ValueRamp ramp(env, 0.0f);
    ramp.setTarget(1.0f, 1.0f);  // ends inside the chunk
    env.beginChunk();
    EXPECT_FALSE(ramp.render(kBlock));
    const float first = ramp.data()[10];
    EXPECT_FALSE(ramp.render(kBlock));
    EXPECT_EQ(ramp.data()[10], first);
    EXPECT_NEAR(first, 10.0f / 48.0f, 1e-6f);
    env.finishChunk(kBlock, false);
    EXPECT_TRUE(renderChunk(ramp));
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

TEST_F(ValueRampTest, ShortGlidesApplyAtOnce) {
    ValueRamp ramp(env, 0.0f);
    ramp.setTarget(0.7f, 0.0f);
    EXPECT_FALSE(ramp.isGliding());
    EXPECT_EQ(ramp.glideLength(), 0);
    EXPECT_TRUE(renderChunk(ramp));
    EXPECT_EQ(ramp.data()[0], 0.7f);
    ramp.setTarget(0.2f, 0.01f);  // under one sample
    EXPECT_TRUE(renderChunk(ramp));
    EXPECT_EQ(ramp.data()[0], 0.2f);
}

TEST_F(ValueRampTest, SameTargetDoesNotRestart) {
    ValueRamp ramp(env, 0.0f);
    ramp.setTarget(1.0f, 10.0f);
    renderChunk(ramp);
    ramp.setTarget(1.0f + 1e-8f, 10.0f);
    ramp.setTarget(1.0f, -1.0f);
    renderChunk(ramp);
    EXPECT_NEAR(ramp.data()[0], 64.0f / 480.0f, 1e-6f);
}

TEST_F(ValueRampTest, RetargetStartsFromTheCurrentValue) {
    ValueRamp ramp(env, 0.0f);
    ramp.setTarget(1.0f, 10.0f);
    renderChunk(ramp);
    skip(kBlock);  // the glide is at 128/480 now
    ramp.setTarget(0.0f, 1.0f);
    renderChunk(ramp);
    EXPECT_NEAR(ramp.data()[0], 128.0f / 480.0f, 1e-6f);
    EXPECT_NEAR(ramp.data()[24], 128.0f / 480.0f * 0.5f, 1e-6f);
    EXPECT_EQ(ramp.data()[48], 0.0f);
}

TEST_F(ValueRampTest, FinishEndsTheGlide) {
    ValueRamp ramp(env, 0.0f);
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
    ValueRamp up(env, 0.1f);
    up.setLimits(-1.0f, 2.0f);
    up.setCycle(1.0f);
    up.setTarget(0.9f, 1.0f);  // 0.1 is 1.1 one cycle up: glide 1.1 -> 0.9 through 1.0 (= 0)
    renderChunk(up);
    EXPECT_NEAR(up.data()[0], 1.1f, 1e-6f);
    EXPECT_NEAR(up.data()[24], 1.0f, 1e-6f);
    for (uint32_t i = 1; i < 48; ++i) EXPECT_LT(up.data()[i], up.data()[i - 1]) << i;
    EXPECT_NEAR(up.data()[47], 0.9f + 0.2f / 48.0f, 1e-6f);
    EXPECT_EQ(up.data()[48], 0.9f);

    ValueRamp down(env, 0.9f);
    down.setLimits(-1.0f, 2.0f);
    down.setCycle(1.0f);
    down.setTarget(0.1f, 1.0f);  // from -0.1 up through 0 to 0.1
    renderChunk(down);
    EXPECT_NEAR(down.data()[0], -0.1f, 1e-6f);
    EXPECT_NEAR(down.data()[24], 0.0f, 1e-6f);
    EXPECT_EQ(down.data()[48], 0.1f);

    ValueRamp clamped(env, 0.1f);  // default limits 0..1 cut the start to 1.0
    clamped.setCycle(1.0f);
    clamped.setTarget(0.9f, 1.0f);
    renderChunk(clamped);
    EXPECT_EQ(clamped.data()[0], 1.0f);
    EXPECT_NEAR(clamped.data()[24], 0.95f, 1e-6f);

    ValueRamp straight(env, 0.2f);  // within half a cycle: no wrap
    straight.setCycle(1.0f);
    straight.setTarget(0.6f, 1.0f);
    renderChunk(straight);
    EXPECT_NEAR(straight.data()[0], 0.2f, 1e-6f);
    EXPECT_NEAR(straight.data()[24], 0.4f, 1e-6f);
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
    EXPECT_EQ(measuredLength(env, bipolar), 1653);

    ValueRamp fixed(env, 0.5f);
    fixed.setAutoTimes(20.0f, 20.0f);
    fixed.setTarget(0.501f, -1.0f);
    EXPECT_EQ(fixed.glideLength(), 960);
}

}  // namespace
}  // namespace wave
