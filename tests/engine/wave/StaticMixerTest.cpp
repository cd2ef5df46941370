#include <gtest/gtest.h>

#include "engine/wave/StaticMixer.h"
#include "tests/engine/wave/TestSources.h"

namespace wave {
namespace {

using test::PatternSource;

constexpr uint32_t kBlock = 32;

TEST(StaticMixer, SumsWithFixedGains) {
    Environment env(kBlock);
    PatternSource a(env, {1.0f, 2.0f, 3.0f, 4.0f}), b(env, {-1.0f, 0.5f, 8.0f, 0.0f});
    // Reports constant while its samples differ: a constant signal is read as one value.
    PatternSource c(env, {3.0f, 100.0f}, true);
    StaticMixer mixer(env);
    EXPECT_EQ(mixer.addEntry(1.0f, &a), 0);
    EXPECT_EQ(mixer.addEntry(0.5f, &b), 1);
    EXPECT_EQ(mixer.addEntry(2.0f, &c), 2);
    mixer.addEntry(4.0f, nullptr);

    env.beginChunk();
    const float* out = mixer.pull(kBlock, 0);
    const float expected[4] = {6.5f, 8.25f, 13.0f, 10.0f};
    for (uint32_t i = 0; i < kBlock; ++i) EXPECT_FLOAT_EQ(out[i], expected[i % 4]) << i;
    EXPECT_FALSE(mixer.isConstant());
    env.finishChunk(kBlock, false);

    mixer.setEntry(0, 1.0f, nullptr);
    mixer.setSignal(1, nullptr);
    env.beginChunk();
    out = mixer.pull(kBlock, 0);
    EXPECT_FLOAT_EQ(out[1], 6.0f);
    EXPECT_TRUE(mixer.isConstant());
    env.finishChunk(kBlock, false);

    mixer.setSignal(2, nullptr);
    env.beginChunk();
    EXPECT_EQ(mixer.pull(kBlock, 0), env.silentBuffer().data());
    env.finishChunk(kBlock, false);

    mixer.setEntry(0, 1.0f, &a);
    env.beginChunk();
    mixer.pull(kBlock, Environment::kFlagAdvanceOnly);
    EXPECT_EQ(a.calls, 1);  // advance only: not pulled
}

}  // namespace
}  // namespace wave
