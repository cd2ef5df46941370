#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "tests/wave/TestSources.h"
#include "wave/Environment.h"
#include "wave/FloatParameterSource.h"
#include "wave/ValueRamp.h"

namespace wave {
namespace {

constexpr uint32_t kBlock = 64;
constexpr float kRate = 48000.0f;

struct ValueRampTest : ::testing::Test {
    ValueRampTest() : env(kBlock) { test::startClock(env, kRate, kBlock); }
    // A chunk in which the ramp is not rendered.
    void skip() {
        env.beginChunk();
        env.finishChunk(kBlock, true);
    }
    // A chunk in which the ramp is rendered; returns the constant report.
    bool renderChunk(ValueRamp& ramp, uint32_t frames = kBlock) {
        env.beginChunk();
        const bool constant = ramp.render(frames);
        env.finishChunk(frames, false);
        return constant;
    }

    Environment env;
};

TEST_F(ValueRampTest, LinearGlideReachesTargetExactlyWithinTheLimits) {
    // The limits take in 0..1 and the initial value.
    for (auto [initial, minimum, maximum] :
         {std::array{0.25f, 0.0f, 1.0f}, {-3.0f, -3.0f, 1.0f}, {5.0f, 0.0f, 5.0f}}) {
        ValueRamp ramp(env, initial);
        EXPECT_EQ(ramp.minimum(), minimum);
        EXPECT_EQ(ramp.range(), maximum - minimum);
        EXPECT_TRUE(renderChunk(ramp));
        EXPECT_EQ(ramp.data()[kBlock - 1], initial);
    }

    ValueRamp ramp(env, 0.0f);
    ramp.setTarget(1.0f, 1.0f);  // 48 samples
    env.beginChunk();
    EXPECT_FALSE(ramp.render(kBlock));
    const float first = ramp.data()[10];
    EXPECT_FALSE(ramp.render(kBlock));  // a repeated render in one chunk is identical
    EXPECT_EQ(ramp.data()[10], first);
    env.finishChunk(kBlock, false);
    for (uint32_t i = 0; i < kBlock; ++i) {
        EXPECT_NEAR(ramp.data()[i], std::min(i / 48.0f, 1.0f), 1e-6f) << i;
    }
    EXPECT_EQ(ramp.data()[48], 1.0f);
    EXPECT_TRUE(renderChunk(ramp));

    ramp.setTarget(5.0f, 1.0f);  // clamped to the maximum: no change
    EXPECT_FALSE(ramp.isGliding());
    // No time, or less than a sample: applied at once.
    for (auto [target, ms] : {std::array{0.7f, 0.0f}, {0.2f, 0.01f}}) {
        ramp.setTarget(target, ms);
        EXPECT_EQ(ramp.glideLength(), 0);
        EXPECT_TRUE(renderChunk(ramp));
        EXPECT_EQ(ramp.data()[0], target);
    }
}

TEST_F(ValueRampTest, FollowsTheSampleClockRetargetsFromTheCurrentValueAndFinishEnds) {
    ValueRamp ramp(env, 0.0f);
    ramp.setTarget(1.0f, 10.0f);  // 480 samples
    renderChunk(ramp);
    skip();
    skip();
    renderChunk(ramp, 32);
    EXPECT_NEAR(ramp.data()[0], 192.0f / 480.0f, 1e-6f);
    EXPECT_NEAR(ramp.data()[31], 223.0f / 480.0f, 1e-6f);
    env.beginChunk();
    ramp.advance(kBlock);
    env.finishChunk(kBlock, false);
    renderChunk(ramp);
    EXPECT_NEAR(ramp.data()[0], 288.0f / 480.0f, 1e-6f);
    // Changes within epsilon of the target neither restart nor stretch the glide.
    ramp.setTarget(1.0f + 1e-8f, 10.0f);
    ramp.setTarget(1.0f, -1.0f);
    renderChunk(ramp);
    EXPECT_NEAR(ramp.data()[0], 352.0f / 480.0f, 1e-6f);

    // A new target starts from the current value.
    ramp.setTarget(0.0f, 1.0f);
    renderChunk(ramp);
    EXPECT_NEAR(ramp.data()[0], 416.0f / 480.0f, 1e-6f);
    EXPECT_NEAR(ramp.data()[24], 416.0f / 480.0f * 0.5f, 1e-6f);
    EXPECT_EQ(ramp.data()[48], 0.0f);

    ramp.setTarget(0.6f, 50.0f);
    renderChunk(ramp);
    EXPECT_NEAR(ramp.currentValue(), 0.6f * 64.0f / 2400.0f, 1e-6f);
    ramp.finish();
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
        EXPECT_NEAR(ramp.data()[47], c.to + (c.at0 - c.to) / 48.0f, 1e-6f) << c.from;
        EXPECT_EQ(ramp.data()[48], c.to) << c.from << " -> " << c.to;
    }
}

TEST_F(ValueRampTest, AutomaticGlideTimes) {
    // At 48 kHz: 20 ms = 960 samples for 30 % of the range or more, 150 ms = 7200 at the limit
    // of tiny moves, (20 + 130 * ((0.3 - r) * 3.3333333)^2) ms in between. On a range of 2 a
    // move of 0.4 is 20 %.
    struct Case {
        float from, to, minimum;
        int64_t samples;
    };
    for (const Case& c : {Case{0.5f, 1.0f, 0.0f, 960}, Case{0.0f, 0.3f, 0.0f, 960},
                          Case{0.5f, 0.7f, 0.0f, 1653}, Case{0.5f, 0.6f, 0.0f, 3733},
                          Case{0.5f, 0.501f, 0.0f, 7158}, Case{0.0f, -0.4f, -1.0f, 1653}}) {
        ValueRamp ramp(env, c.from);
        ramp.setLimits(c.minimum, 1.0f);
        ramp.setTarget(c.to, -1.0f);
        EXPECT_EQ(ramp.glideLength(), c.samples) << c.from << " -> " << c.to;
    }
}

TEST(FloatParameterSource, OutputsItsRampInTimeWithTheClockAndSharesItWithForwarders) {
    using test::kBlock;
    Environment env(kBlock);
    test::startClock(env, kRate, kBlock);
    FloatParameterSource source(env, 0.0f), advanced(env, 0.0f);
    FloatParameterForwarder forwarder(env, source.ramp());
    source.setTarget(1.0f, 1.0f);  // 48 samples: ends in the second chunk
    advanced.setTarget(1.0f, 10.0f);
    env.registerRun(&advanced, Environment::kModeAdvance);
    for (uint32_t chunk = 0; chunk < 2; ++chunk) {
        test::runChunk(env, kBlock, [&] {
            const float* out = source.pull(kBlock, 0);
            EXPECT_EQ(out, source.ramp().data());
            EXPECT_EQ(forwarder.pull(kBlock, 0), out);
            EXPECT_FALSE(forwarder.isConstant());
            EXPECT_NEAR(out[kBlock - 1], std::min((chunk + 1) * kBlock - 1, 48u) / 48.0f, 1e-6f);
        });
    }
    EXPECT_TRUE(test::pullChunk(env, forwarder)[0] == 1.0f && forwarder.isConstant());
    // Advanced by the run list (flags 1) while nobody pulled it: still in time with the clock.
    EXPECT_TRUE(advanced.isConstant());
    EXPECT_NEAR(test::pullChunk(env, advanced)[0], 96.0f / 480.0f, 1e-6f);
}

}  // namespace
}  // namespace wave
