#include <gtest/gtest.h>

#include "engine/wave/FloatParameterSource.h"
#include "tests/support/AllocationCounter.h"

namespace wave {
namespace {

constexpr uint32_t kBlock = 32;

class FloatParameterSourceTest : public ::testing::Test {
protected:
    FloatParameterSourceTest() : env(kBlock) {
        env.setSampleRate(48000.0f);
        env.beginChunk();
        env.finishChunk(kBlock, true);
    }
    Environment env;
};

TEST_F(FloatParameterSourceTest, OutputsItsRamp) {
    FloatParameterSource source(env, 0.0f);
    source.setTarget(1.0f, 10.0f);  // 480 samples
    EXPECT_EQ(source.target(), 1.0f);

    AllocationGuard guard;
    env.beginChunk();
    const float* out = source.pull(kBlock, 0);
    EXPECT_EQ(out, source.ramp().data());
    EXPECT_FALSE(source.isConstant());
    EXPECT_NEAR(out[31], 31.0f / 480.0f, 1e-6f);
    env.finishChunk(kBlock, false);

    // Pulled only every other chunk: the glide stays in time with the clock.
    env.beginChunk();
    env.finishChunk(kBlock, false);
    env.beginChunk();
    out = source.pull(kBlock, 0);
    EXPECT_NEAR(out[0], 64.0f / 480.0f, 1e-6f);
    env.finishChunk(kBlock, false);
    EXPECT_EQ(guard.allocations(), 0u);
}

TEST_F(FloatParameterSourceTest, AdvanceOnlyMovesTheGlide) {
    FloatParameterSource source(env, 0.0f);
    source.setTarget(1.0f, 10.0f);
    env.registerRun(&source, Environment::kModeAdvance);
    env.beginChunk();
    env.finishChunk(kBlock, false);  // run with flags 1
    EXPECT_TRUE(source.isConstant());
    env.beginChunk();
    EXPECT_NEAR(source.pull(kBlock, 0)[0], 32.0f / 480.0f, 1e-6f);
    env.finishChunk(kBlock, false);
}

TEST_F(FloatParameterSourceTest, ConstantWhenSettled) {
    FloatParameterSource source(env, 0.3f);
    env.beginChunk();
    EXPECT_EQ(source.pull(kBlock, 0)[kBlock - 1], 0.3f);
    EXPECT_TRUE(source.isConstant());
    env.finishChunk(kBlock, false);
}

TEST_F(FloatParameterSourceTest, ForwardersShareOneGlide) {
    FloatParameterSource source(env, 0.0f);
    FloatParameterForwarder a(env, source.ramp()), b(env, source.ramp());
    source.setTarget(1.0f, 1.0f);  // 48 samples: ends in the second chunk

    for (int chunk = 0; chunk < 2; ++chunk) {
        env.beginChunk();
        const float* fromSource = source.pull(kBlock, 0);
        const float* fromA = a.pull(kBlock, 0);
        const float* fromB = b.pull(kBlock, 0);
        EXPECT_EQ(fromA, fromSource);
        EXPECT_EQ(fromB, fromSource);
        for (uint32_t i = 0; i < kBlock; ++i) {
            const float expected = std::min((chunk * kBlock + i) / 48.0f, 1.0f);
            EXPECT_NEAR(fromB[i], expected, 1e-6f) << chunk << ":" << i;
        }
        EXPECT_FALSE(b.isConstant());
        env.finishChunk(kBlock, false);
    }
    env.beginChunk();
    b.pull(kBlock, 0);
    EXPECT_TRUE(b.isConstant());
}

}  // namespace
}  // namespace wave
