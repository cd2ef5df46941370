#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "modulation/LevelPanTarget.h"
#include "modulation/SynthTargetGroups.h"
#include "tests/modulation/ModulationTestRig.h"

namespace {

using modtest::kBlock;
using Mode = LevelPanTarget::Mode;

constexpr int kOsc1Level = 5;
constexpr int kOsc1Pan = 6;          // bounds [-1, 1]
constexpr int kPerVoiceSource = 12;  // no global object: exists per voice only

// Level and pan lower only the other side; centre and spread move the two apart.
std::pair<float, float> law(Mode mode, float a, float b) {
    if (mode == Mode::CentreSpread) return {a + b, a - b};
    return {a * (1.0f - std::max(b, 0.0f)), a * (1.0f + std::min(b, 0.0f))};
}

struct LevelPanRig : modtest::Rig {
    LevelPanRig() {
        assignSynthTargetGroups(matrix);
        matrix.setTargetBaseValue(kOsc1Level, 0.8f, 0.0f);
        matrix.setTargetBaseValue(kOsc1Pan, 0.0f, 0.0f);
    }
};

TEST(LevelPanTarget, GlobalRampsFollowTheBaseValuesAndVoicesWithoutSlotsShareThem) {
    LevelPanRig rig;
    LevelPanTarget target(rig.matrix, kOsc1Level, kOsc1Pan, Mode::LevelPan);
    VoiceMatrix voice(rig.matrix);
    LevelPanTarget::VoiceController controller(target, voice);
    auto& first = controller.output(LevelPanTarget::VoiceController::kFirst);
    auto& second = controller.output(LevelPanTarget::VoiceController::kSecond);

    // B constant at 0: both outputs are A itself.
    rig.block();
    EXPECT_EQ(first.pull(kBlock, 0), second.pull(kBlock, 0));
    EXPECT_FLOAT_EQ(first.outputData()[kBlock - 1], 0.8f);
    rig.finish();

    // A pan to the right glides both global ramps to the law's values; the voice reads them.
    rig.matrix.setTargetBaseValue(kOsc1Pan, 0.5f, -1.0f);
    std::vector<float> left;
    for (int chunk = 0; chunk < 400; ++chunk) {
        rig.block();
        left = rig.pull(first);
        EXPECT_EQ(second.pull(kBlock, 0), target.globalSecond().outputData());
        rig.finish();
    }
    EXPECT_FLOAT_EQ(left.back(), 0.4f);
    EXPECT_FLOAT_EQ(second.outputData()[0], 0.8f);
    EXPECT_EQ(first.outputData(), target.globalFirst().outputData());

    // Cut-offs (centre and spread) report a settled block as constant, for one filter control
    // point a block; levels keep their per-sample paths.
    LevelPanTarget cutoff(rig.matrix, kOsc1Level, kOsc1Pan, Mode::CentreSpread);
    LevelPanTarget::VoiceController centred(cutoff, voice);
    rig.block();
    EXPECT_FLOAT_EQ(centred.output(0).pull(kBlock, 0)[0], 1.3f);
    first.pull(kBlock, 0);
    EXPECT_TRUE(centred.output(0).isConstant());
    EXPECT_FALSE(first.isConstant());
    rig.finish();
}

TEST(LevelPanTarget, PerVoicePanAppliesTheLawPerSample) {
    LevelPanRig rig;
    modtest::TestSource pan(rig.env);
    pan.setRamp(-1.0f, 2.0f / static_cast<float>(kBlock - 1));  // sweeps -1 .. 1
    rig.connect(0, kPerVoiceSource, kOsc1Pan, 1.0f);
    for (Mode mode : {Mode::LevelPan, Mode::CentreSpread}) {
        LevelPanTarget target(rig.matrix, kOsc1Level, kOsc1Pan, mode);
        VoiceMatrix voice(rig.matrix);
        voice.setSourceInstance(kPerVoiceSource, &pan);
        LevelPanTarget::VoiceController controller(target, voice);
        rig.block();
        const std::vector<float> first = rig.pull(controller.output(0));
        const std::vector<float> second = rig.pull(controller.output(1));
        for (uint32_t i = 0; i < kBlock; ++i) {
            const float b = std::min(-1.0f + 2.0f * static_cast<float>(i) / (kBlock - 1), 1.0f);
            const auto [f, s] = law(mode, 0.8f, b);
            EXPECT_NEAR(first[i], f, 1e-6f) << i;
            EXPECT_NEAR(second[i], s, 1e-6f) << i;
        }
        rig.finish();
    }
}

}  // namespace
