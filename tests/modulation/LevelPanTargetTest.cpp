#include <gtest/gtest.h>

#include <vector>

#include "modulation/LevelPanTarget.h"
#include "modulation/SynthTargetGroups.h"
#include "tests/modulation/ModulationTestRig.h"

namespace {

using modtest::kBlock;
using Mode = LevelPanTarget::Mode;

constexpr int kOsc1Level = 5;
constexpr int kOsc1Pan = 6;  // bounds [-1, 1]
constexpr int kSourceSlot = 0;
constexpr int kPerVoiceSource = 12;  // no global object: exists per voice only

struct LevelPanRig : modtest::Rig {
    LevelPanRig() { assignSynthTargetGroups(matrix); }
    void setBases(float a, float b) {
        matrix.setTargetBaseValue(kOsc1Level, a, 0.0f);
        matrix.setTargetBaseValue(kOsc1Pan, b, 0.0f);
    }
    std::vector<float> pullOutput(wave::Producer& p) { return pull(p); }
};

TEST(LevelPanTarget, LawsOfBothModes) {
    struct Case {
        Mode mode;
        float a, b, first, second;
    };
    const Case cases[] = {
        {Mode::LevelPan, 0.8f, 0.0f, 0.8f, 0.8f},
        {Mode::LevelPan, 0.8f, 0.5f, 0.4f, 0.8f},
        {Mode::LevelPan, 0.8f, -0.25f, 0.8f, 0.6f},
        {Mode::LevelPan, 0.8f, 1.0f, 0.0f, 0.8f},
        {Mode::LevelPan, 0.8f, -1.0f, 0.8f, 0.0f},
        {Mode::CentreSpread, 1000.0f, 200.0f, 1200.0f, 800.0f},
        {Mode::CentreSpread, 1000.0f, -50.0f, 950.0f, 1050.0f},
    };
    for (const Case& c : cases) {
        float first = 0.0f;
        float second = 0.0f;
        LevelPanTarget::combine(c.mode, c.a, c.b, first, second);
        EXPECT_FLOAT_EQ(first, c.first) << c.a << " " << c.b;
        EXPECT_FLOAT_EQ(second, c.second) << c.a << " " << c.b;
    }
}

TEST(LevelPanTarget, GlobalRampsFollowTheBaseValuesAndVoicesWithoutSlotsShareThem) {
    LevelPanRig rig;
    rig.setBases(0.8f, 0.0f);
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
        left = rig.pullOutput(first);
        EXPECT_EQ(second.pull(kBlock, 0), target.globalSecond().outputData());
        rig.finish();
    }
    EXPECT_FLOAT_EQ(left.back(), 0.4f);
    EXPECT_FLOAT_EQ(second.outputData()[0], 0.8f);
    EXPECT_EQ(first.outputData(), target.globalFirst().outputData());
}

TEST(LevelPanTarget, PerVoicePanAppliesTheLawPerSample) {
    LevelPanRig rig;
    rig.setBases(0.5f, 0.0f);
    modtest::TestSource pan(rig.env);
    pan.setRamp(-1.0f, 2.0f / static_cast<float>(kBlock - 1));  // sweeps -1 .. 1
    rig.connect(kSourceSlot, kPerVoiceSource, kOsc1Pan, 1.0f);
    for (Mode mode : {Mode::LevelPan, Mode::CentreSpread}) {
        LevelPanTarget target(rig.matrix, kOsc1Level, kOsc1Pan, mode);
        VoiceMatrix voice(rig.matrix);
        voice.setSourceInstance(kPerVoiceSource, &pan);
        LevelPanTarget::VoiceController controller(target, voice);
        rig.block();
        const std::vector<float> first = rig.pullOutput(controller.output(0));
        const std::vector<float> second = rig.pullOutput(controller.output(1));
        const std::vector<float> b = rig.pullOutput(voice.target(kOsc1Pan));
        for (uint32_t i = 0; i < kBlock; ++i) {
            float f = 0.0f;
            float s = 0.0f;
            LevelPanTarget::combine(mode, 0.5f, b[i], f, s);
            EXPECT_FLOAT_EQ(first[i], f) << i;
            EXPECT_FLOAT_EQ(second[i], s) << i;
        }
        EXPECT_FLOAT_EQ(b.front(), -1.0f);
        EXPECT_NEAR(b.back(), 1.0f, 1e-5f);
        rig.finish();
    }
}

}  // namespace
