#include <gtest/gtest.h>

#include <vector>

#include "tests/support/AllocationCounter.h"
#include "tests/wave/TestSources.h"
#include "wave/MultiProducer.h"
#include "wave/Producer.h"

namespace wave {
namespace {

using test::kBlock;
using test::PatternSource;

// Doubles its input; remembers the flags it saw and whether it had an input.
class Doubler : public Filter {
public:
    explicit Doubler(Environment& env) : Filter(env) {}
    bool filter(const float* in, float* out, uint32_t frames, uint32_t flags) override {
        ++calls;
        lastFlags = flags;
        sawInput = in != nullptr;
        if (flags & Environment::kFlagAdvanceOnly) return false;
        for (uint32_t i = 0; i < frames; ++i) out[i] = in ? 2.0f * in[i] : 0.0f;
        return false;
    }
    int calls = 0;
    uint32_t lastFlags = 0;
    bool sawInput = false;
};

TEST(Producer, PullIsMemoizedPerChunk) {
    Environment env(kBlock);
    PatternSource source(env, {1.0f, 2.0f, 3.0f, 4.0f}, true);
    EXPECT_EQ(source.outputData(), env.silentBuffer().data());  // before the first chunk
    Doubler a(env), b(env);
    a.setInput(&source);
    b.setInput(&source);

    AllocationGuard guard;
    env.beginChunk();
    const float* outA = a.pull(kBlock, 0);
    EXPECT_FLOAT_EQ(b.pull(kBlock, 0)[5], 4.0f);
    EXPECT_EQ(a.pull(kBlock, 0), outA);
    EXPECT_FLOAT_EQ(outA[3], 8.0f);
    EXPECT_EQ(source.calls, 1);
    EXPECT_EQ(a.calls, 1);
    EXPECT_TRUE(source.isConstant());
    env.finishChunk(kBlock, false);

    env.beginChunk();
    a.pull(16, 0);
    EXPECT_EQ(source.calls, 2);
    EXPECT_EQ(source.lastFrames, 16u);
    EXPECT_EQ(guard.allocations(), 0u);
}

TEST(Producer, FilterPassesMaskedFlagsAndSkipsInputWhenAdvancing) {
    Environment env(kBlock);
    PatternSource source(env, {1.0f});
    Doubler filter(env);
    filter.setInput(&source);
    test::pullChunk(env, filter, kBlock, Environment::kFlagAdvanceOnly);
    EXPECT_EQ(source.calls, 0);  // an advancing filter does not pull
    EXPECT_EQ(filter.lastFlags, Environment::kFlagAdvanceOnly);

    filter.setInputFlagMask(~Environment::kFlagAdvanceOnly);
    test::pullChunk(env, filter, kBlock,
                    Environment::kFlagAdvanceOnly | Environment::kFlagFromRunList);
    EXPECT_EQ(source.lastFlags, Environment::kFlagFromRunList);
    EXPECT_TRUE(filter.sawInput);
    filter.setInput(nullptr);
    test::pullChunk(env, filter);
    EXPECT_FALSE(filter.sawInput);
}

TEST(Producer, ForwarderAliasesItsInputAndInputReadsHostMemory) {
    Environment env(kBlock);
    PatternSource first(env, {1.0f}, true), second(env, {2.0f});
    Forwarder forwarder(env);
    EXPECT_EQ(test::pullChunk(env, forwarder), env.silentBuffer().data());  // no input yet
    forwarder.setInput(&first);
    const float* out = test::pullChunk(env, forwarder);
    EXPECT_EQ(out, first.outputData());
    EXPECT_TRUE(forwarder.isConstant());
    forwarder.setInput(&second);  // holders of the forwarder follow the swap
    out = test::pullChunk(env, forwarder);
    EXPECT_EQ(out, second.outputData());
    EXPECT_FALSE(forwarder.isConstant());

    // Consecutive pieces of 80 host samples, then silence.
    std::vector<float> host(80);
    for (size_t i = 0; i < host.size(); ++i) host[i] = static_cast<float>(i);
    Input input(env);
    input.setSource(host.data(), 80);
    for (uint32_t chunk = 0; chunk < 3; ++chunk) {
        out = test::pullChunk(env, input);
        for (uint32_t i = 0, at = chunk * kBlock; i < kBlock; ++i, ++at) {
            EXPECT_EQ(out[i], at < 80 ? static_cast<float>(at) : 0.0f) << at;
        }
    }
    EXPECT_EQ(input.available(), 0u);
}

// Left gets the call number, right its negation or, on odd calls, silence.
class Splitter : public MultiProducer {
public:
    explicit Splitter(Environment& env) : MultiProducer(env) {}
    void produceAll(float* const* buffers, const float** outputs, uint32_t frames,
                    uint32_t) override {
        ++calls;
        for (uint32_t i = 0; i < frames; ++i) {
            buffers[0][i] = static_cast<float>(calls);
            buffers[1][i] = -static_cast<float>(calls);
        }
        if (calls % 2 == 1) outputs[1] = output(0).environment().silentBuffer().data();
    }
    void reset() override { ++resets; }
    int calls = 0;
    int resets = 0;
};

TEST(MultiProducer, OutputsAreComputedTogetherOnce) {
    Environment env(kBlock);
    Splitter splitter(env);
    for (int chunk = 1; chunk <= 2; ++chunk) {
        env.beginChunk();
        const float* right = splitter.output(1).pull(kBlock, 0);
        const float* left = splitter.output(0).pull(kBlock, 0);
        env.finishChunk(kBlock, false);
        EXPECT_EQ(splitter.calls, chunk);
        EXPECT_FLOAT_EQ(left[kBlock - 1], static_cast<float>(chunk));
        EXPECT_FALSE(splitter.output(0).isConstant());
        // The silent entry of the first chunk is back on the own buffer in the second.
        if (chunk == 1) {
            EXPECT_EQ(right, env.silentBuffer().data());
            EXPECT_TRUE(splitter.output(1).isConstant());
        } else {
            EXPECT_FLOAT_EQ(right[0], -2.0f);
        }
    }
    env.registerReset(&splitter.output(0));
    env.reset();
    EXPECT_EQ(splitter.resets, 1);
}

}  // namespace
}  // namespace wave
