#include <gtest/gtest.h>

#include "engine/wave/Router.h"
#include "tests/engine/wave/TestSources.h"

namespace wave {
namespace {

using test::PatternSource;

constexpr uint32_t kBlock = 32;

class RouterTest : public ::testing::Test {
protected:
    RouterTest() : env(kBlock), x0(env, {2.0f}), x1(env, {10.0f}), router(env) {
        env.setSampleRate(48000.0f);
        env.beginChunk();
        env.finishChunk(kBlock, true);
        router.setSignal(0, &x0);
        router.setSignal(1, &x1);
        router.selectNow(0);
    }
    const float* pullChunk() {
        env.beginChunk();
        const float* out = router.pull(kBlock, 0);
        env.finishChunk(kBlock, false);
        return out;
    }

    Environment env;
    PatternSource x0, x1;
    Router router;
};

TEST_F(RouterTest, InitialSelectionHoldsAtOnce) {
    EXPECT_FLOAT_EQ(router.fadeTime(), 20.0f);
    const float* out = pullChunk();
    EXPECT_EQ(out, x0.outputData());  // unity gain: no copy
    EXPECT_EQ(x1.calls, 0);           // zero gain: not pulled

    router.selectNow(1);
    out = pullChunk();
    EXPECT_EQ(out, x1.outputData());
    EXPECT_EQ(x0.calls, 1);
}

TEST_F(RouterTest, CrossfadesOverTwentyMilliseconds) {
    pullChunk();
    router.selection() = 1;  // 960 samples
    const float* out = nullptr;
    for (int chunk = 0; chunk < 15; ++chunk) {
        out = pullChunk();
        const float g1 = static_cast<float>(chunk * kBlock) / 960.0f;
        EXPECT_NEAR(out[0], 2.0f * (1.0f - g1) + 10.0f * g1, 2e-5f) << chunk;
    }
    out = pullChunk();  // 480 samples = 10 ms into the fade
    EXPECT_NEAR(out[0], 0.5f * 2.0f + 0.5f * 10.0f, 2e-5f);
    EXPECT_NEAR(out[31], 2.0f + 8.0f * 511.0f / 960.0f, 2e-5f);

    // Back to input 0 from the current gains (0.5333 / 0.4667 at sample 512).
    router.selection() = 0;
    out = pullChunk();
    const float g1 = 512.0f / 960.0f;
    EXPECT_NEAR(out[0], 2.0f * (1.0f - g1) + 10.0f * g1, 2e-5f);
    EXPECT_LT(out[31], out[0]);
    EXPECT_NEAR(out[31], 2.0f + 8.0f * g1 * (1.0f - 31.0f / 960.0f), 2e-5f);

    for (int chunk = 0; chunk < 30; ++chunk) pullChunk();
    EXPECT_EQ(pullChunk(), x0.outputData());
}

TEST_F(RouterTest, MissingSignalAndAdvanceOnly) {
    router.setSignal(0, nullptr);
    EXPECT_EQ(pullChunk(), env.silentBuffer().data());
    router.setSignal(0, &x0);
    env.beginChunk();
    router.pull(kBlock, Environment::kFlagAdvanceOnly);
    env.finishChunk(kBlock, false);
    EXPECT_EQ(x0.calls, 0);
}

}  // namespace
}  // namespace wave
