#include <gtest/gtest.h>

#include "engine/wave/MultiProducer.h"

namespace wave {
namespace {

constexpr uint32_t kBlock = 32;

// Left gets the chunk number, right gets silence on odd chunks.
class Splitter : public MultiProducer {
public:
    explicit Splitter(Environment& env) : MultiProducer(env) {}
    void produceAll(float* const* buffers, const float** outputs, uint32_t frames,
                    uint32_t flags) override {
        ++calls;
        lastFlags = flags;
        for (uint32_t i = 0; i < frames; ++i) {
            buffers[0][i] = static_cast<float>(calls);
            buffers[1][i] = -static_cast<float>(calls);
        }
        if (calls % 2 == 1) outputs[1] = silent;
    }
    void reset() override { ++resets; }

    const float* silent = nullptr;
    int calls = 0;
    int resets = 0;
    uint32_t lastFlags = 0;
};

TEST(MultiProducer, OutputsAreComputedTogetherOnce) {
    Environment env(kBlock);
    Splitter splitter(env);
    splitter.silent = env.silentBuffer().data();
    ASSERT_EQ(splitter.outputCount(), 2);

    env.beginChunk();
    const float* right = splitter.output(1).pull(kBlock, 0);
    const float* left = splitter.output(0).pull(kBlock, 0);
    EXPECT_EQ(splitter.calls, 1);
    EXPECT_FLOAT_EQ(left[kBlock - 1], 1.0f);
    EXPECT_EQ(right, env.silentBuffer().data());
    EXPECT_TRUE(splitter.output(1).isConstant());
    EXPECT_FALSE(splitter.output(0).isConstant());
    EXPECT_TRUE(splitter.output(0).producedInChunk());
    env.finishChunk(kBlock, false);

    env.beginChunk();
    left = splitter.output(0).pull(kBlock, 2);
    right = splitter.output(1).pull(kBlock, 2);
    EXPECT_EQ(splitter.calls, 2);
    EXPECT_EQ(splitter.lastFlags, 2u);
    EXPECT_FLOAT_EQ(left[0], 2.0f);
    EXPECT_FLOAT_EQ(right[0], -2.0f);  // the entry is restored to the own buffer each chunk
    EXPECT_NE(left, right);

    env.registerReset(&splitter.output(0));
    env.reset();
    EXPECT_EQ(splitter.resets, 1);
}

}  // namespace
}  // namespace wave
