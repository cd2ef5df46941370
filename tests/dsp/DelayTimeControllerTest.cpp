#include <gtest/gtest.h>

#include "dsp/DelayTimeController.h"
#include "wave/Environment.h"
#include "wave/FloatParameterSource.h"

// The delay unit's tests hear the synchronized and ultra-short times as echoes; here: a new
// tempo glides with the automatic time, and a free line ignores it.
TEST(DelayTimeController, TempoChangesGlideAndFreeLinesIgnoreThem) {
    constexpr uint32_t kBlock = 32;
    wave::Environment env(kBlock);
    env.setSampleRate(48000.0f);
    wave::FloatParameterSource time(env, 350.0f), offset(env, 1.0f);
    DelayTimeController controller(env);
    controller.setTimeInput(&time);
    controller.setOffsetInput(&offset);
    controller.setTempo(60.0f);
    EXPECT_EQ(controller.base().target(), 10.0f);

    controller.setMode(DelayTimeController::kQuarterNote);
    controller.setTempo(120.0f);
    env.reset();
    env.beginChunk();
    EXPECT_EQ(controller.pull(kBlock, 0)[0], 500.0f);
    env.finishChunk(kBlock, false);
    controller.setTempo(100.0f);
    env.beginChunk();
    const float* out = controller.pull(kBlock, 0);
    EXPECT_GT(out[kBlock - 1], out[0]);
    EXPECT_LT(out[kBlock - 1], 510.0f);
    env.finishChunk(kBlock, false);
}
