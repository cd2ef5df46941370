#include <gtest/gtest.h>

#include "dsp/DelayTimeController.h"
#include "wave/Environment.h"
#include "wave/FloatParameterSource.h"

// The unit's tests measure the synchronized and ultra-short times as echoes; here: what does not
// show there.
TEST(DelayTimeController, FreePassesTheTimeAndTempoChangesGlide) {
    constexpr uint32_t kBlock = 32;
    wave::Environment env(kBlock);
    env.setSampleRate(48000.0f);
    wave::FloatParameterSource time(env, 350.0f), offset(env, 1.0f);
    time.ramp().setLimits(10.0f, 5000.0f);
    offset.ramp().setLimits(0.5f, 2.0f);
    DelayTimeController controller(env);
    controller.setTimeInput(&time);
    controller.setOffsetInput(&offset);
    const auto pull = [&] {
        env.beginChunk();
        const float* out = controller.pull(kBlock, 0);
        env.finishChunk(kBlock, false);
        return out;
    };
    // Free: the Time source's own buffer; the tempo leaves it alone.
    controller.setTempo(60.0f);
    env.beginChunk();
    EXPECT_EQ(controller.pull(kBlock, 0), time.pull(kBlock, 0));
    env.finishChunk(kBlock, false);
    EXPECT_EQ(controller.base().target(), 10.0f);

    // Synchronized: 10 ms until a tempo arrives; a new tempo glides with the automatic time.
    controller.setMode(DelayTimeController::kQuarterNote);
    EXPECT_EQ(pull()[0], 10.0f);
    controller.setTempo(120.0f);
    env.reset();
    EXPECT_EQ(pull()[0], 500.0f);
    controller.setTempo(100.0f);
    const float* out = pull();
    EXPECT_GT(out[kBlock - 1], out[0]);
    EXPECT_LT(out[kBlock - 1], 510.0f);
}
