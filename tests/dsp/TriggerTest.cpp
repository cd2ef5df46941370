#include <gtest/gtest.h>

#include <vector>

#include "dsp/Trigger.h"
#include "tests/dsp/DspTestRig.h"

namespace {

struct Found {
    int32_t state;
    int64_t sample;
    bool operator==(const Found&) const = default;
};

// Evaluates the trigger chunk by chunk (twice, as a second user in the same chunk would) and
// collects its events at absolute sample positions.
std::vector<Found> collect(wave::Environment& env, Trigger& trigger, size_t length,
                           uint32_t block = dsptest::kBlock) {
    std::vector<Found> found;
    for (size_t done = 0; done < length; done += block) {
        const auto n = static_cast<uint32_t>(std::min<size_t>(block, length - done));
        env.beginChunk();
        trigger.evaluate(n);
        trigger.evaluate(n);
        for (const Trigger::Event& e : trigger.events()) {
            found.push_back({e.state, static_cast<int64_t>(done) + e.offset});
        }
        env.finishChunk(n, false);
    }
    return found;
}

TEST(TriggerTest, OpensAboveTheThresholdAndClosesAfterTheHoldBelowHalfOfIt) {
    wave::Environment env(dsptest::kBlock);
    env.setSampleRate(48000.0f);
    dsptest::Playback level(env);
    Trigger trigger(env), odd(env);
    trigger.setInput(&level);
    odd.setInput(&level);
    EXPECT_EQ(trigger.threshold.get(), 0.9f);
    EXPECT_EQ(trigger.holdSamples(), 720);  // 15 ms

    std::vector<float> x(4000, 0.0f);
    x[40] = 0.9f;  // reaching the threshold is not enough
    std::fill(x.begin() + 50, x.begin() + 60, 0.95f);
    std::fill(x.begin() + 60, x.begin() + 1000, 0.6f);    // between the levels: stays on
    std::fill(x.begin() + 1000, x.begin() + 1720, 0.3f);  // below for exactly the hold time
    std::fill(x.begin() + 1720, x.begin() + 2000, 0.5f);
    std::fill(x.begin() + 2000, x.begin() + 3000, 0.44f);
    std::fill(x.begin() + 3000, x.end(), 0.91f);
    const std::vector<Found> expected{
        {Trigger::kOn, 50}, {Trigger::kOff, 2720}, {Trigger::kOn, 3000}};
    level.play(x);
    EXPECT_EQ(collect(env, trigger, x.size()), expected);
    // Offsets are exact in chunks of any length.
    level.play(x);
    EXPECT_EQ(collect(env, odd, x.size(), 37), expected);

    // The hold is at least a sample and follows the rate; the threshold is at most 1.
    trigger.holdTime = 0.0f;
    EXPECT_EQ(trigger.holdSamples(), 1);
    trigger.holdTime = 15.0f;
    env.setSampleRate(96000.0f);
    collect(env, trigger, 64);
    EXPECT_EQ(trigger.holdSamples(), 1440);
    trigger.threshold = 1.5f;
    EXPECT_EQ(trigger.threshold.get(), 1.0f);
}

}  // namespace
