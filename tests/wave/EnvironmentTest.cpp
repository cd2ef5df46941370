#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/AllocationCounter.h"
#include "tests/wave/TestSources.h"
#include "wave/Environment.h"
#include "wave/MultiProducer.h"
#include "wave/Producer.h"
#include "wave/SampleBuffer.h"

namespace wave {
namespace {

using test::kBlock;
using test::PatternSource;
using test::runChunk;
using List = std::vector<Producer*>;

struct EnvironmentTest : ::testing::Test {
    Environment env{kBlock};
};

TEST(SampleBuffer, PaddedAlignedAndZeroed) {
    for (uint32_t size : {1u, 3u, 4u, 33u, 256u}) {
        SampleBuffer b(size);
        EXPECT_EQ(b.size(), (size + 3) / 4 * 4) << size;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(b.data()) % 16, 0u) << size;
        for (uint32_t i = 0; i < b.size(); ++i) EXPECT_EQ(b.data()[i], 0.0f);
    }
    EXPECT_EQ(SampleBuffer(0).data(), nullptr);
}

TEST_F(EnvironmentTest, ClockAndResets) {
    EXPECT_FLOAT_EQ(env.sampleRate(), 44100.0f);
    PatternSource a(env, {0}), b(env, {0});
    env.registerReset(&a);
    env.registerReset(&a);  // once only
    const uint32_t stamp = env.chunkStamp();
    runChunk(env, 24, [] {});
    EXPECT_EQ(env.chunkStamp(), stamp + 1);
    env.markReset();  // marks only
    EXPECT_EQ(a.resets, 0);
    EXPECT_EQ(env.resetStamp(), 24u);
    env.beginChunk();
    env.finishChunk(8, true);  // not rendered: the clock still advances
    env.reset();
    EXPECT_EQ(a.resets, 1);
    EXPECT_EQ(b.resets, 0);
    EXPECT_EQ(env.resetStamp(), 32u);
}

TEST_F(EnvironmentTest, RunListOrderingAndReservedCapacity) {
    PatternSource a(env, {0}), b(env, {0}), c(env, {0}), d(env, {0}), e(env, {0}), f(env, {0});
    std::deque<PatternSource> more;
    for (int i = 0; i < 40; ++i) more.emplace_back(env, std::vector{0.0f});
    const std::pair<PatternSource*, int> modes[] = {{&a, 2}, {&b, 1}, {&c, 0},
                                                    {&d, 1}, {&e, 0}, {&f, 3}};
    for (auto [p, mode] : modes) env.registerRun(p, mode);
    EXPECT_EQ(env.runList(), (List{&e, &c, &d, &b, &a, &f}));
    EXPECT_EQ(env.leadingSources(), 2);
    env.registerRun(&b, 0);  // moves to the front
    env.registerRun(&e, 2);  // leaves the mode-0 block, appended
    {
        PatternSource g(env, {0});
        env.registerRun(&g, 0);
    }  // destruction leaves the list
    EXPECT_EQ(env.runList(), (List{&b, &c, &d, &a, &f, &e}));
    EXPECT_EQ(env.leadingSources(), 2);
    AllocationGuard guard;  // capacities were reserved as the producers were built
    for (PatternSource& p : more) {
        env.registerRun(&p, 1);
        env.registerReset(&p);
    }
    runChunk(env, kBlock, [] {});
    EXPECT_EQ(guard.allocations(), 0u);
    EXPECT_EQ(env.runList().size(), 46u);
}

TEST_F(EnvironmentTest, FinishChunkRunsWhatWasNotPulled) {
    PatternSource always(env, {1}), pulled(env, {2}), idle(env, {3}), appended(env, {4});
    for (auto [p, mode] : {std::pair{&always, 0}, {&pulled, 1}, {&idle, 1}, {&appended, 5}}) {
        env.registerRun(p, mode);
    }

    runChunk(env, kBlock, [&] { pulled.pull(kBlock, 0); });
    // Calls and last flags of each: pulled is not run again, the idle ones only advance.
    const std::pair<const PatternSource*, uint32_t> seen[] = {
        {&always, Environment::kFlagFromRunList},
        {&pulled, 0},
        {&idle, Environment::kFlagAdvanceOnly},
        {&appended, Environment::kFlagAdvanceOnly}};
    for (auto [p, flags] : seen) {
        EXPECT_EQ(p->calls, 1);
        EXPECT_EQ(p->lastFlags, flags);
        EXPECT_EQ(p->lastFrames, kBlock);
    }
    env.beginChunk();
    env.finishChunk(kBlock, true);  // not rendered: nobody runs
    EXPECT_EQ(always.calls, 1);
    EXPECT_EQ(env.sampleClock(), 2 * kBlock);
}

// Compares without allocating, so that it can sit behind an allocation guard.
bool is(const List& list, std::initializer_list<Producer*> expected) {
    return std::equal(list.begin(), list.end(), expected.begin(), expected.end());
}

TEST_F(EnvironmentTest, SetEnabledLeavesAndReentersListsWithoutAllocating) {
    PatternSource front(env, {0}), p(env, {0}), other(env, {0}), late(env, {0});
    for (auto [q, mode] : {std::pair{&front, 0}, {&p, 0}, {&other, 1}}) env.registerRun(q, mode);
    for (PatternSource* q : {&p, &other}) env.registerReset(q);

    AllocationGuard guard;
    env.setEnabled(&p, false);
    EXPECT_TRUE(is(env.runList(), {&front, &other}));
    EXPECT_TRUE(is(env.resetList(), {&other}));
    runChunk(env, kBlock, [] {});
    env.reset();
    EXPECT_EQ(p.calls + p.resets, 0);
    env.setEnabled(&p, false);  // no change
    env.setEnabled(&p, true);
    env.setEnabled(&p, true);
    EXPECT_EQ(p.resets, 1);  // reset once on re-entry
    EXPECT_TRUE(is(env.runList(), {&p, &front, &other}));
    EXPECT_TRUE(is(env.resetList(), {&other, &p}));
    EXPECT_EQ(env.leadingSources(), 2);

    // Registration while disabled waits for the enable.
    env.setEnabled(&late, false);
    env.registerRun(&late, 1);
    env.registerReset(&late);
    EXPECT_EQ(env.runList().size(), 3u);
    env.setEnabled(&late, true);
    EXPECT_TRUE(is(env.runList(), {&p, &front, &late, &other}));  // after the mode-0 block
    EXPECT_TRUE(is(env.resetList(), {&other, &p, &late}));
    EXPECT_EQ(guard.allocations(), 0u);
}

struct RateListener : Component {
    RateListener(std::vector<std::string>& log, std::string name) : log(log), name(name) {}
    void sampleRateChanged(Environment& env) override {
        log.push_back(name + std::to_string(static_cast<int>(env.sampleRate())));
    }
    std::vector<std::string>& log;
    std::string name;
};

TEST_F(EnvironmentTest, SampleRateChangeResetsThenTellsListenersNewestFirst) {
    std::vector<std::string> log;
    PatternSource p(env, {0});
    env.registerReset(&p);
    RateListener first(log, "first "), second(log, "second ");
    for (RateListener* l : {&first, &second}) env.addRateListener(l);
    env.setListener([&](Environment& e) {
        log.push_back("resets " + std::to_string(p.resets) + " " +
                      std::to_string(static_cast<int>(e.sampleRate())));
    });
    runChunk(env, kBlock, [] {});

    env.setSampleRate(44100.0f + 1e-8f);  // no real change
    env.setSampleRate(48000.0f);
    EXPECT_EQ(env.resetStamp(), kBlock);
    env.removeRateListener(&second);
    env.setSampleRate(96000.0f);
    EXPECT_EQ(log, (std::vector<std::string>{"resets 1 48000", "second 48000", "first 48000",
                                             "resets 2 96000", "first 96000"}));
}

// Doubles its input; remembers the flags it saw and whether it had an input.
struct Doubler : Filter {
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

TEST_F(EnvironmentTest, PullIsMemoizedPerChunk) {
    PatternSource source(env, {1.0f, 2.0f, 3.0f, 4.0f}, true);
    EXPECT_EQ(source.outputData(), env.silentBuffer().data());  // before the first chunk
    Doubler a(env), b(env);
    a.setInput(&source);
    b.setInput(&source);

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
}

TEST_F(EnvironmentTest, FilterPassesMaskedFlagsAndSkipsInputWhenAdvancing) {
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

TEST_F(EnvironmentTest, ForwarderAliasesItsInputAndInputReadsHostMemory) {
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
struct Splitter : MultiProducer {
    explicit Splitter(Environment& env) : MultiProducer(env) {}
    void produceAll(float* const* buffers, const float** outputs, uint32_t frames,
                    uint32_t) override {
        std::fill_n(buffers[0], frames, static_cast<float>(++calls));
        std::fill_n(buffers[1], frames, -static_cast<float>(calls));
        if (calls % 2 == 1) outputs[1] = output(0).environment().silentBuffer().data();
    }
    void reset() override { ++resets; }
    int calls = 0, resets = 0;
};

TEST_F(EnvironmentTest, OutputsAreComputedTogetherOnce) {
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
