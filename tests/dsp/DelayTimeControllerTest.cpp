#include <gtest/gtest.h>

#include <cmath>

#include "dsp/DelayTimeController.h"
#include "wave/Environment.h"
#include "wave/FloatParameterSource.h"

namespace {

constexpr uint32_t kBlock = 32;

struct ControllerRig {
    ControllerRig() : env(kBlock), time(env, 350.0f), offset(env, 1.0f), controller(env) {
        env.setSampleRate(48000.0f);
        time.ramp().setLimits(10.0f, 5000.0f);
        offset.ramp().setLimits(0.5f, 2.0f);
        controller.setTimeInput(&time);
        controller.setOffsetInput(&offset);
    }
    // The first sample of the next chunk, every ramp settled.
    float next() {
        env.reset();
        env.beginChunk();
        const float* out = controller.pull(kBlock, 0);
        for (uint32_t i = 1; i < kBlock; ++i) EXPECT_EQ(out[i], out[0]);
        env.finishChunk(kBlock, false);
        return out[0];
    }

    wave::Environment env;
    wave::FloatParameterSource time;
    wave::FloatParameterSource offset;
    DelayTimeController controller;
};

TEST(DelayTimeController, FreeUltraShortAndSynchronizedTimes) {
    ControllerRig rig;
    EXPECT_EQ(rig.next(), 350.0f);
    rig.env.beginChunk();
    EXPECT_EQ(rig.controller.pull(kBlock, 0), rig.time.pull(kBlock, 0));  // free: no copy
    rig.env.finishChunk(kBlock, false);

    rig.controller.setMode(DelayTimeController::kUltraShort);
    rig.time.setTarget(5000.0f);
    EXPECT_FLOAT_EQ(rig.next(), 50.0f);
    rig.time.setTarget(10.0f);
    EXPECT_FLOAT_EQ(rig.next(), 0.1f);

    // Synchronized: the base time (10 ms until a tempo arrives) times the offset.
    rig.controller.setMode(DelayTimeController::kSixtyFourthNote);
    EXPECT_EQ(rig.next(), 10.0f);
    rig.controller.setTempo(120.0f);
    EXPECT_FLOAT_EQ(rig.next(), 31.25f);
    rig.offset.setTarget(2.0f);
    EXPECT_FLOAT_EQ(rig.next(), 62.5f);
    rig.controller.setTempo(0.0f);  // ignored
    EXPECT_FLOAT_EQ(rig.next(), 62.5f);
    rig.controller.setMode(DelayTimeController::kHalfNote);
    rig.controller.setTempo(30.0f);  // 4 s, times 2, clamped
    EXPECT_EQ(rig.next(), 5000.0f);
    rig.offset.setTarget(0.5f);
    rig.controller.setTempo(300.0f);  // 400 ms
    EXPECT_FLOAT_EQ(rig.next(), 200.0f);

    // A free line's base time is left alone by the tempo.
    rig.controller.setMode(DelayTimeController::kFree);
    rig.controller.setTempo(60.0f);
    EXPECT_FLOAT_EQ(rig.controller.base().target(), 400.0f);
}

TEST(DelayTimeController, TempoChangesGlideWithTheAutomaticTime) {
    ControllerRig rig;
    rig.controller.setMode(DelayTimeController::kQuarterNote);
    rig.controller.setTempo(120.0f);
    rig.next();
    rig.controller.setTempo(100.0f);  // 500 -> 600 ms: 2 % of the range, the slowest glide
    EXPECT_EQ(
        rig.controller.base().ramp().glideLength(),
        static_cast<int64_t>(48000.0 * 0.001 *
                             (20.0 + 130.0 * std::pow((0.3 - 100.0 / 4990.0) * 3.3333333, 2.0))));
}

}  // namespace
