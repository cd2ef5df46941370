#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "wave/Environment.h"
#include "wave/Producer.h"
#include "wave/SampleBuffer.h"
#include "tests/wave/TestSources.h"
#include "tests/support/AllocationCounter.h"

namespace wave {
namespace {

using test::kBlock;
using test::PatternSource;
using test::runChunk;
using List = std::vector<Producer*>;

void expectRun(const Environment& env, const List& list, int leading) {
    EXPECT_EQ(env.runList(), list);
    EXPECT_EQ(env.leadingSources(), leading);
}

TEST(SampleBuffer, PaddedAlignedAndZeroed) {
    for (uint32_t size : {1u, 3u, 4u, 33u, 256u}) {
        SampleBuffer b(size);
        EXPECT_EQ(b.size() % 4, 0u) << size;
        EXPECT_GE(b.size(), size);
        EXPECT_LT(b.size(), size + 4);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(b.data()) % 16, 0u) << size;
        for (uint32_t i = 0; i < b.size(); ++i) EXPECT_EQ(b.data()[i], 0.0f);
    }
    EXPECT_EQ(SampleBuffer(33).size(), 36u);
    EXPECT_EQ(SampleBuffer(0).data(), nullptr);
}

TEST(Environment, ClockAndResets) {
    Environment env(kBlock);
    EXPECT_FLOAT_EQ(env.sampleRate(), 44100.0f);
    EXPECT_GE(env.silentBuffer().size(), kBlock);
    for (uint32_t i = 0; i < env.silentBuffer().size(); ++i) {
        EXPECT_EQ(env.silentBuffer().data()[i], 0.0f);
    }
    PatternSource a(env, {0}), b(env, {0});
    env.registerReset(&a);
    env.registerReset(&a);  // once only
    const uint32_t stamp = env.chunkStamp();
    runChunk(env, 24, [] {});
    EXPECT_EQ(env.chunkStamp(), stamp + 1);
    env.markReset();
    EXPECT_EQ(a.resets, 0);
    EXPECT_EQ(env.resetStamp(), 24u);
    env.beginChunk();
    env.finishChunk(8, true);  // not rendered: the clock still advances
    EXPECT_EQ(env.sampleClock(), 32u);
    env.reset();
    EXPECT_EQ(a.resets, 1);
    EXPECT_EQ(b.resets, 0);
    EXPECT_EQ(env.resetStamp(), 32u);
}

TEST(Environment, RunListOrdering) {
    Environment env(kBlock);
    PatternSource a(env, {0}), b(env, {0}), c(env, {0}), d(env, {0}), e(env, {0}), f(env, {0});
    const std::pair<PatternSource*, int> modes[] = {{&a, 2}, {&b, 1}, {&c, 0},
                                                    {&d, 1}, {&e, 0}, {&f, 3}};
    for (auto [p, mode] : modes) env.registerRun(p, mode);
    expectRun(env, List{&e, &c, &d, &b, &a, &f}, 2);

    env.registerRun(&b, 0);  // moves to the front
    expectRun(env, List{&b, &e, &c, &d, &a, &f}, 3);
    env.registerRun(&e, 2);  // leaves the mode-0 block, appended
    expectRun(env, List{&b, &c, &d, &a, &f, &e}, 2);
    {
        PatternSource g(env, {0});
        env.registerRun(&g, 0);
        EXPECT_EQ(env.leadingSources(), 3);
    }  // destruction leaves the list
    expectRun(env, List{&b, &c, &d, &a, &f, &e}, 2);
}

TEST(Environment, FinishChunkRunsWhatWasNotPulled) {
    Environment env(kBlock);
    PatternSource always(env, {1}), pulled(env, {2}), idle(env, {3}), appended(env, {4});
    env.registerRun(&always, 0);
    env.registerRun(&pulled, 1);
    env.registerRun(&idle, 1);
    env.registerRun(&appended, 5);

    runChunk(env, kBlock, [&] { pulled.pull(kBlock, 0); });
    EXPECT_EQ(always.calls, 1);
    EXPECT_EQ(always.lastFlags, Environment::kFlagFromRunList);
    EXPECT_EQ(pulled.calls, 1);  // not run again
    EXPECT_EQ(pulled.lastFlags, 0u);
    EXPECT_EQ(idle.calls, 1);
    EXPECT_EQ(idle.lastFlags, Environment::kFlagAdvanceOnly);
    EXPECT_EQ(idle.lastFrames, kBlock);
    EXPECT_EQ(appended.lastFlags, Environment::kFlagAdvanceOnly);
    EXPECT_TRUE(idle.producedInChunk());

    env.beginChunk();
    env.finishChunk(kBlock, true);  // not rendered: nobody runs
    EXPECT_EQ(always.calls, 1);
    EXPECT_EQ(idle.calls, 1);
    EXPECT_EQ(env.sampleClock(), 2 * kBlock);
}

TEST(Environment, SetEnabledLeavesAndReentersLists) {
    Environment env(kBlock);
    PatternSource front(env, {0}), p(env, {0}), other(env, {0}), late(env, {0});
    env.registerRun(&front, 0);
    env.registerRun(&p, 0);
    env.registerRun(&other, 1);
    env.registerReset(&p);
    env.registerReset(&other);

    size_t allocations = 0;
    {
        AllocationGuard guard;  // capacities were reserved at construction
        env.setEnabled(&p, false);
        allocations += guard.allocations();
    }
    EXPECT_FALSE(p.isEnabled());
    expectRun(env, List{&front, &other}, 1);
    EXPECT_EQ(env.resetList(), (List{&other}));

    runChunk(env, kBlock, [] {});
    env.reset();
    EXPECT_EQ(p.calls, 0);
    EXPECT_EQ(p.resets, 0);
    EXPECT_EQ(other.resets, 1);

    {
        AllocationGuard guard;
        env.setEnabled(&p, false);  // no change
        env.setEnabled(&p, true);
        allocations += guard.allocations();
    }
    EXPECT_EQ(p.resets, 1);  // reset on re-entry
    expectRun(env, List{&p, &front, &other}, 2);
    EXPECT_EQ(env.resetList(), (List{&other, &p}));
    env.setEnabled(&p, true);
    EXPECT_EQ(p.resets, 1);
    EXPECT_EQ(allocations, 0u);

    // Registration while disabled waits for the enable.
    env.setEnabled(&late, false);
    env.registerRun(&late, 1);
    env.registerReset(&late);
    EXPECT_EQ(env.runList(), (List{&p, &front, &other}));
    EXPECT_EQ(env.resetList(), (List{&other, &p}));
    EXPECT_EQ(late.sourceMode(), 1);
    env.setEnabled(&late, true);
    EXPECT_EQ(env.runList(), (List{&p, &front, &late, &other}));  // after the mode-0 block
    EXPECT_EQ(env.resetList(), (List{&other, &p, &late}));
}

TEST(Environment, ConstructionReservesListCapacity) {
    Environment env(kBlock);
    std::vector<std::unique_ptr<PatternSource>> sources;
    for (int i = 0; i < 40; ++i)
        sources.push_back(std::make_unique<PatternSource>(env, std::vector<float>{0}));
    EXPECT_EQ(env.producerCount(), 40);

    AllocationGuard guard;
    for (auto& s : sources) {
        env.registerRun(s.get(), 1);
        env.registerReset(s.get());
    }
    runChunk(env, kBlock, [] {});
    EXPECT_EQ(guard.allocations(), 0u);
    EXPECT_EQ(env.runList().size(), 40u);
}

class RateListener : public Component {
public:
    RateListener(std::vector<std::string>& log, std::string name) : log_(log), name_(name) {}
    void sampleRateChanged(Environment& env) override {
        log_.push_back(name_ + ":" + std::to_string(static_cast<int>(env.sampleRate())));
    }

private:
    std::vector<std::string>& log_;
    std::string name_;
};

TEST(Environment, SampleRateChange) {
    Environment env(kBlock);
    std::vector<std::string> log;
    PatternSource p(env, {0});
    env.registerReset(&p);
    RateListener first(log, "first"), second(log, "second");
    env.addRateListener(&first);
    env.addRateListener(&second);
    env.setListener([&](Environment& e) {
        log.push_back("listener:" + std::to_string(p.resets) + ":" +
                      std::to_string(static_cast<int>(e.sampleRate())));
    });
    runChunk(env, kBlock, [] {});

    env.setSampleRate(44100.0f + 1e-8f);  // no real change
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(p.resets, 0);

    env.setSampleRate(48000.0f);
    EXPECT_EQ(log, (std::vector<std::string>{"listener:1:48000", "second:48000", "first:48000"}));
    EXPECT_EQ(env.resetStamp(), kBlock);

    env.removeRateListener(&second);
    log.clear();
    env.setSampleRate(96000.0f);
    EXPECT_EQ(log, (std::vector<std::string>{"listener:2:96000", "first:96000"}));
}

}  // namespace
}  // namespace wave
