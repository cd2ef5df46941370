#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/VornPresets.h"
#include "framework/PluginSettings.h"
#include "persistence/PresetManager.h"
#include "tests/engine/VornParameterTestSupport.h"
#include "tests/host/aax/AaxTestHost.h"
#include "tests/support/AllocationCounter.h"

namespace {

class AaxRealtime : public ::testing::Test {
protected:
    AaxRealtime() : host_(stereoEffect()) {
        // Every parameter at its default, reached at once.
        VornPlugin& synth = host_.plugin();
        for (int id = 0; id < synth.getParameterCount(); ++id) {
            AbstractPluginParameter* p = synth.getParameter(id);
            p->setValue(p->getDefault(), 0);
        }
        synth.queueResetMarker();
        host_.render(256);
    }

    float peak(int from, int to) const {
        float m = 0.0f;
        for (int k = from; k < to; ++k)
            m = std::max({m, std::fabs(host_.left[k]), std::fabs(host_.right[k])});
        return m;
    }

    AaxTestInstance host_;
};

}  // namespace

TEST_F(AaxRealtime, ShortPacketsCarryZeroDataBytesAndPacketsStartAtTheirOffsets) {
    // Bytes past a packet's length are ignored: 0x90 alone arrives as 0x90 0 0, a note-off.
    for (int length : {0, 1, 2}) {
        host_.addMidi(0, {0x90, 60, 100}, length);
        host_.render(2048);
        EXPECT_EQ(peak(0, 2048), 0.0f) << length;
    }
    host_.addMidi(100, {0x90, 60, 100});
    host_.render(256);
    EXPECT_EQ(peak(0, 100), 0.0f);
    EXPECT_GT(peak(100, 256), 0.0f);
}

TEST_F(AaxRealtime, TransportBecomesMeterBeatsAndResetRequestsAreServed) {
    TestTransport& t = host_.nodeTransport;
    t.tempo = 90.0;
    t.bars = 3;
    t.beats = 2;
    t.ticks = 960000;  // a quarter note
    host_.render(64);
    // (3 * 4 + 2 - 1) + 4 * 960000 / 3840000
    EXPECT_DOUBLE_EQ(host_.plugin().beatPosition(), 14.0);

    t.numerator = 6;
    t.denominator = 8;
    t.ticks = 480000;
    host_.render(64);
    EXPECT_DOUBLE_EQ(host_.plugin().beatPosition(), 3 * 6 + 1 + 1.0);

    // Without a transport node the controller's transport stands in.
    host_.setTransportNode(false);
    TestTransport& kept = host_.controller().transport;
    kept.bars = 6;
    kept.beats = 1;
    kept.ticks = 0;
    host_.render(64);
    EXPECT_DOUBLE_EQ(host_.plugin().beatPosition(), 24.0);
    // A reset request is served and cleared.
    kept.bars = 2;
    host_.render(64);
    EXPECT_DOUBLE_EQ(host_.plugin().beatPosition(), 8.0);
    host_.requestReset();
    host_.render(64);
    EXPECT_EQ(host_.resetRequest(), 0);
    EXPECT_DOUBLE_EQ(host_.plugin().beatPosition(), 0.0);  // the reset follows the transport
}

TEST_F(AaxRealtime, SideChainReachesTheSynth) {
    std::vector<float> side(AaxTestInstance::kMaxFrames);
    for (size_t k = 0; k < side.size(); ++k)
        side[k] = 0.5f * std::sin(0.05f * static_cast<float>(k));
    host_.setSideChain(side.data(), side.data());
    AbstractPluginParameter* audition = findParameter(host_.plugin(), "Audition Signal");
    ASSERT_NE(audition, nullptr);
    host_.render(4096);
    EXPECT_EQ(peak(0, 4096), 0.0f);  // no notes, no sound
    audition->setValue(1.0f, 0);     // "Side Chain"
    host_.render(4096);
    host_.render(4096);
    EXPECT_GT(peak(2048, 4096), 0.05f);
}

TEST_F(AaxRealtime, BypassFadesOutAndSampleRateFollowsTheHost) {
    host_.addMidi(0, {0x90, 60, 100});
    host_.render(4096);
    ASSERT_GT(peak(2048, 4096), 0.0f);
    host_.automate("MasterBypassID", 1.0);
    host_.render(4096);  // 50 ms at 48 kHz is 2400 samples
    EXPECT_GT(peak(0, 256), 0.0f);
    EXPECT_EQ(peak(2400, 4096), 0.0f);

    host_.sampleRate = 44100.0f;
    host_.render(64);
    EXPECT_EQ(host_.plugin().environment().sampleRate(), 44100.0f);
}

TEST_F(AaxRealtime, RendersWithoutAllocating) {
    host_.render(4096);
    AllocationGuard guard;
    for (int block = 0; block < 40; ++block) {
        if (block % 10 == 0) host_.addMidi(17, {0x90, static_cast<uint8_t>(48 + block / 10), 90});
        if (block % 10 == 5) host_.addMidi(3, {0x80, static_cast<uint8_t>(48 + block / 10), 0});
        host_.nodeTransport.beats = 1 + block % 4;
        if (block == 20) host_.requestReset();
        host_.render(block % 2 ? 1000 : 77);
    }
    EXPECT_EQ(guard.allocations(), 0u);
    EXPECT_GT(peak(0, 77), 0.0f);
}

// A program change arrives in the real-time callback and is loaded at the host's next timer call.
TEST_F(AaxRealtime, ProgramChangesLoadAtTheTimerCall) {
    VornPlugin& synth = host_.plugin();
    PresetManager& presets = *VornPresets::presetManager(-1);
    const std::string folder = presets.path();
    AbstractPluginParameter* tune = findParameter(synth, "Master Tune");
    for (const float value : {0.25f, -0.5f}) {
        tune->setValue(value, 0);
        ASSERT_TRUE(
            synth.presets().savePreset(folder + "Program " + std::to_string(value) + ".qvp"));
    }
    const std::optional<PresetEntry> second = presets.presetAt(0, 1);
    ASSERT_TRUE(second.has_value());
    synth.presets().loadPreset(*presets.presetAt(0, 0));
    ASSERT_NE(synth.currentPreset().name, second->name);

    GenericPlugin::sharedSettings()->enableMidiProgramChanges = true;
    host_.addMidi(5, {0xC0, 1});
    host_.render(256);
    EXPECT_NE(synth.currentPreset().name, second->name);
    EXPECT_EQ(host_.adapter().TimerWakeup(), AAX_SUCCESS);
    EXPECT_EQ(synth.currentPreset().name, second->name);
    GenericPlugin::sharedSettings()->enableMidiProgramChanges = false;
    for (const float value : {0.25f, -0.5f})
        std::filesystem::remove(folder + "Program " + std::to_string(value) + ".qvp");
}
