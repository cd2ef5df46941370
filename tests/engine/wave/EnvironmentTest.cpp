#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/wave/Environment.h"
#include "engine/wave/Producer.h"
#include "tests/engine/wave/TestSources.h"
#include "tests/support/AllocationCounter.h"

namespace wave {
namespace {

using test::PatternSource;
using test::runChunk;

constexpr uint32_t kBlock = 32;

TEST(Environment, DefaultsAndClock) {
    Environment env(kBlock);
    EXPECT_EQ(env.blockSize(), kBlock);
    EXPECT_FLOAT_EQ(env.sampleRate(), 44100.0f);
    EXPECT_EQ(env.sampleClock(), 0u);
    EXPECT_GE(env.silentBuffer().size(), kBlock);
    for (uint32_t i = 0; i < env.silentBuffer().size(); ++i) {
        EXPECT_EQ(env.silentBuffer().data()[i], 0.0f);
    }

    const uint32_t stamp = env.chunkStamp();
    env.beginChunk();
    EXPECT_EQ(env.chunkStamp(), stamp + 1);
    env.finishChunk(20, false);
    env.beginChunk();
    env.finishChunk(12, true);  // not rendered: the clock still advances
    EXPECT_EQ(env.sampleClock(), 32u);

    env.markReset();
    EXPECT_EQ(env.resetStamp(), 32u);
}

TEST(Environment, RunListOrdering) {
    Environment env(kBlock);
    PatternSource a(env, {0}), b(env, {0}), c(env, {0}), d(env, {0}), e(env, {0}), f(env, {0});
    env.registerRun(&a, 2);
    env.registerRun(&b, 1);
    env.registerRun(&c, 0);
    env.registerRun(&d, 1);
    env.registerRun(&e, 0);
    env.registerRun(&f, 3);
    EXPECT_EQ(env.runList(), (std::vector<Producer*>{&e, &c, &d, &b, &a, &f}));
    EXPECT_EQ(env.leadingSources(), 2);

    env.registerRun(&b, 0);  // moves to the front
    EXPECT_EQ(env.runList(), (std::vector<Producer*>{&b, &e, &c, &d, &a, &f}));
    EXPECT_EQ(env.leadingSources(), 3);
    env.registerRun(&e, 2);  // leaves the mode-0 block, appended
    EXPECT_EQ(env.runList(), (std::vector<Producer*>{&b, &c, &d, &a, &f, &e}));
    EXPECT_EQ(env.leadingSources(), 2);

    {
        PatternSource g(env, {0});
        env.registerRun(&g, 0);
        EXPECT_EQ(env.leadingSources(), 3);
    }  // destruction leaves the list
    EXPECT_EQ(env.runList(), (std::vector<Producer*>{&b, &c, &d, &a, &f, &e}));
    EXPECT_EQ(env.leadingSources(), 2);
}

TEST(Environment, FinishChunkRunsWhatWasNotPulled) {
    Environment env(kBlock);
    PatternSource always(env, {1}), pulled(env, {2}), idle(env, {3}), appended(env, {4});
    env.registerRun(&always, 0);
    env.registerRun(&pulled, 1);
    env.registerRun(&idle, 1);
    env.registerRun(&appended, 5);

    env.beginChunk();
    pulled.pull(kBlock, 0);
    env.finishChunk(kBlock, false);
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
    PatternSource front(env, {0}), p(env, {0}), other(env, {0});
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
    EXPECT_EQ(env.runList(), (std::vector<Producer*>{&front, &other}));
    EXPECT_EQ(env.leadingSources(), 1);
    EXPECT_EQ(env.resetList(), (std::vector<Producer*>{&other}));

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
    EXPECT_EQ(env.runList(), (std::vector<Producer*>{&p, &front, &other}));
    EXPECT_EQ(env.leadingSources(), 2);
    EXPECT_EQ(env.resetList(), (std::vector<Producer*>{&other, &p}));
    env.setEnabled(&p, true);
    EXPECT_EQ(p.resets, 1);
    EXPECT_EQ(allocations, 0u);
}

TEST(Environment, RegistrationWhileDisabledWaitsForEnable) {
    Environment env(kBlock);
    PatternSource p(env, {0});
    env.setEnabled(&p, false);
    env.registerRun(&p, 1);
    env.registerReset(&p);
    EXPECT_TRUE(env.runList().empty());
    EXPECT_TRUE(env.resetList().empty());
    EXPECT_EQ(p.sourceMode(), 1);
    env.setEnabled(&p, true);
    EXPECT_EQ(env.runList(), (std::vector<Producer*>{&p}));
    EXPECT_EQ(env.resetList(), (std::vector<Producer*>{&p}));
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

TEST(Environment, ResetAndMarkReset) {
    Environment env(kBlock);
    PatternSource a(env, {0}), b(env, {0});
    env.registerReset(&a);
    env.registerReset(&a);  // once only
    runChunk(env, 24, [] {});
    env.markReset();
    EXPECT_EQ(a.resets, 0);
    EXPECT_EQ(env.resetStamp(), 24u);
    runChunk(env, 8, [] {});
    env.reset();
    EXPECT_EQ(a.resets, 1);
    EXPECT_EQ(b.resets, 0);
    EXPECT_EQ(env.resetStamp(), 32u);
}

}  // namespace
}  // namespace wave
