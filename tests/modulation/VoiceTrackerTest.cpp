#include <gtest/gtest.h>

#include <vector>

#include "modulation/VoiceTracker.h"
#include "tests/modulation/ModulationTestRig.h"

namespace {

using modtest::kBlock;

constexpr float kRate = 1000.0f;         // one sample per millisecond
constexpr float kReleaseSeconds = 0.1f;  // 100 samples

struct TrackerRig : modtest::Rig {
    TrackerRig() {
        env.setSampleRate(kRate);
        matrix.setReleaseTime(kReleaseSeconds);
    }
    // One chunk that nobody pulls: the run list alone must advance the tracker.
    std::vector<float> unpulledChunk(const wave::Producer& p) {
        env.beginChunk();
        env.finishChunk(kBlock, false);
        return {p.outputData(), p.outputData() + kBlock};
    }
};

TEST(VoiceTracker, RunsEveryChunkAndRampsToZeroOverTheReleaseTime) {
    TrackerRig rig;
    ModulationMatrix::VoiceTracker tracker(rig.matrix);
    ASSERT_FALSE(rig.env.runList().empty());
    EXPECT_EQ(rig.env.runList().front(), &tracker);
    EXPECT_EQ(tracker.sourceMode(), 0);
    EXPECT_TRUE(tracker.isReleased());

    tracker.start(60);
    EXPECT_EQ(tracker.note(), 60);
    EXPECT_FALSE(tracker.isReleased());
    for (float v : rig.unpulledChunk(tracker)) EXPECT_FLOAT_EQ(v, 1.0f);
    EXPECT_TRUE(tracker.isConstant());

    tracker.release();
    EXPECT_TRUE(tracker.isReleased());
    EXPECT_FALSE(tracker.isFinished());
    // Linear fall of 1/100 per sample, over the 100 samples of the release.
    std::vector<float> levels;
    for (int chunk = 0; chunk < 4; ++chunk) {
        for (float v : rig.unpulledChunk(tracker)) levels.push_back(v);
    }
    for (size_t i = 1; i < levels.size(); ++i) EXPECT_LE(levels[i], levels[i - 1]) << i;
    EXPECT_NEAR(levels[49], 1.0f - 50.0f / 100.0f, 0.011f);
    EXPECT_FLOAT_EQ(levels[100], 0.0f);
    EXPECT_FLOAT_EQ(levels.back(), 0.0f);
    EXPECT_TRUE(tracker.isFinished());

    // A new note restarts at full level at once.
    tracker.start(64);
    EXPECT_FALSE(tracker.isFinished());
    EXPECT_FLOAT_EQ(rig.unpulledChunk(tracker).front(), 1.0f);
}

}  // namespace
