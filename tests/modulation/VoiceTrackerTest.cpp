#include <gtest/gtest.h>

#include <vector>

#include "modulation/VoiceTracker.h"
#include "tests/modulation/ModulationTestRig.h"

namespace {

// One sample per millisecond, a release of 100 samples.
TEST(VoiceTracker, RunsEveryChunkAndRampsToZeroOverTheReleaseTime) {
    modtest::Rig rig;
    rig.env.setSampleRate(1000.0f);
    rig.matrix.setReleaseTime(0.1f);
    ModulationMatrix::VoiceTracker tracker(rig.matrix);
    // Nobody pulls the tracker: the run list alone must advance it.
    std::vector<float> levels;
    const auto chunk = [&] {
        rig.block();
        rig.finish();
        levels.insert(levels.end(), tracker.outputData(), tracker.outputData() + modtest::kBlock);
    };
    EXPECT_TRUE(tracker.isReleased());
    tracker.start(60);
    EXPECT_FALSE(tracker.isReleased());
    chunk();
    for (float v : levels) EXPECT_FLOAT_EQ(v, 1.0f);
    EXPECT_TRUE(tracker.isConstant());

    tracker.release();
    EXPECT_FALSE(tracker.isFinished());
    levels.clear();
    for (int i = 0; i < 4; ++i) chunk();
    // Linear fall of 1/100 per sample.
    for (size_t i = 1; i < levels.size(); ++i) EXPECT_LE(levels[i], levels[i - 1]) << i;
    EXPECT_NEAR(levels[49], 0.5f, 0.011f);
    EXPECT_FLOAT_EQ(levels[100], 0.0f);
    EXPECT_TRUE(tracker.isFinished());

    // A new note restarts at full level at once.
    tracker.start(64);
    levels.clear();
    chunk();
    EXPECT_FLOAT_EQ(levels.front(), 1.0f);
}

}  // namespace
