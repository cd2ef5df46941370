#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "engine/VornPlugin.h"
#include "framework/BypassProcessor.h"
#include "tests/engine/VornTestRig.h"
#include "tests/reliability/ReliabilityRig.h"

// What a plug-in validator asks of the instrument: any sample rate, any host block size, rate
// changes, resets and bypass while notes sound.
namespace reliability {
namespace {

constexpr double kA4 = 440.0;
// +12 dBFS.
constexpr float kCeiling = 3.9810717f;
// -150 dBFS.
constexpr float kSilence = 3.1622777e-8f;
// -100 dBFS.
constexpr float kResetResidue = 1e-5f;

void expectClean(const Stereo& out, const std::string& what) {
    const SampleScan s = scan(out);
    EXPECT_EQ(s.nonFinite, 0u) << what << ", first at " << s.firstBad;
    EXPECT_EQ(s.subnormal, 0u) << what << ", first at " << s.firstBad;
    EXPECT_LE(s.peak, kCeiling) << what << ": peak " << toDbfs(s.peak) << " dBFS";
}

// Every rate a host may choose plays the phrase cleanly, in tune, and falls silent after it;
// a rate no host uses must at least not break anything.
TEST(Validator, everySampleRatePlaysInTuneAndFallsSilent) {
    for (const float rate :
         {22050.0f, 44100.0f, 48000.0f, 88200.0f, 96000.0f, 176400.0f, 192000.0f, 1234.5678f}) {
        SCOPED_TRACE(rate);
        const bool usual = rate >= 22050.0f;
        VornPlugin plugin;
        prepare(plugin, rate);
        const RenderScript phrase = standardPhrase(plugin, rate, 2.0);
        const Stereo out = render(plugin, phrase, BlockSchedule::fixed(512));
        expectClean(out, "phrase");
        if (usual) {
            EXPECT_GT(scan(out, 0, static_cast<size_t>(rate)).peak, 0.01f) << "the chord sounds";
        }
        EXPECT_EQ(soundingVoices(plugin), 0);
        const auto last = static_cast<size_t>(phrase.frames);
        EXPECT_LE(scan(out, last - static_cast<size_t>(rate * 0.05), last).peak, kSilence)
            << "tail";

        if (!usual) continue;
        auto sine = sinePlugin(rate);
        const Stereo a4 = render(*sine, heldA4(rate, 0.5), BlockSchedule::fixed(256));
        expectClean(a4, "sine");
        const auto quarter = static_cast<size_t>(rate / 4);
        EXPECT_NEAR(zeroCrossingFrequency(a4.left, rate, quarter, 2 * quarter), kA4, 0.05);
    }
}

// Host blocks of any size, the empty one included, give the same sound: the engine cuts them
// into its own chunks.
TEST(Validator, anyHostBlockSizeGivesTheSameSound) {
    constexpr float kRate = 48000.0f;
    const RenderScript a4 = heldA4(kRate, 0.4);
    auto reference = sinePlugin(kRate);
    const Stereo expected = render(*reference, a4, BlockSchedule::fixed(64));
    ASSERT_GT(scan(expected).peak, 0.1f);

    struct Case {
        std::string name;
        BlockSchedule schedule;
    };
    const std::vector<Case> cases{{"1", BlockSchedule::fixed(1)},
                                  {"7", BlockSchedule::fixed(7)},
                                  {"32", BlockSchedule::fixed(32)},
                                  {"512", BlockSchedule::fixed(512)},
                                  {"4096", BlockSchedule::fixed(4096)},
                                  {"64 and empty", {{64, 0, 0}}},
                                  {"random", BlockSchedule::random(3, 0, 4096)},
                                  {"random small", BlockSchedule::random(4, 0, 40)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto plugin = sinePlugin(kRate);
        const Stereo out = render(*plugin, a4, c.schedule);
        expectClean(out, c.name);
        float worst = 0.0f;
        for (size_t i = 0; i < out.left.size(); ++i)
            worst = std::max(worst, std::fabs(out.left[i] - expected.left[i]));
        EXPECT_LE(worst, 1e-4f);
        if (c.name == "64 and empty") {
            EXPECT_EQ(firstDifference(out, expected), SIZE_MAX);
        }
    }

    // The whole phrase, chords, bends and parameter moves, in odd and huge blocks.
    for (const BlockSchedule& schedule :
         {BlockSchedule::fixed(7), BlockSchedule::fixed(4096), BlockSchedule::random(5, 0, 4096)}) {
        VornPlugin plugin;
        prepare(plugin, kRate);
        const RenderScript phrase = standardPhrase(plugin, kRate, 1.5);
        const Stereo out = render(plugin, phrase, schedule);
        expectClean(out, "phrase");
        EXPECT_EQ(soundingVoices(plugin), 0);
    }
}

// A rate change between two blocks while a note sounds: the engine starts clean at the new rate
// (voices and effects reset, as after any real change) and the next note plays in tune at the
// same level.
TEST(Validator, sampleRateChangeWhileRunningRetunesTheEngine) {
    auto plugin = sinePlugin(48000.0f);
    const BlockSchedule blocks = BlockSchedule::fixed(256);
    const Stereo first = render(*plugin, heldA4(48000.0f, 0.3), blocks);
    const double level = rms(first.left, 4800);
    ASSERT_GT(level, 0.05);
    for (const float rate : {96000.0f, 44100.0f, 192000.0f, 22050.0f, 48000.0f}) {
        SCOPED_TRACE(rate);
        plugin->setSampleRate(rate);
        const Stereo out = render(*plugin, heldA4(rate, 0.3), blocks);
        expectClean(out, "after the change");
        const auto settled = static_cast<size_t>(rate * 0.1f);
        EXPECT_NEAR(zeroCrossingFrequency(out.left, rate, settled), kA4, 0.05);
        EXPECT_NEAR(rms(out.left, settled), level, level * 0.02);
        EXPECT_EQ(soundingVoices(*plugin), 1) << "one voice per note, the old one reset";
    }
}

// reset silences every voice and the delay at once; an instance deactivated, given another rate
// and reset plays as before.
TEST(Validator, resetSilencesAndReactivationPlaysAgain) {
    constexpr float kRate = 48000.0f;
    VornPlugin plugin;
    prepare(plugin, kRate);
    for (const char* name :
         {"Delay Enabled", "Delay L Feedback", "Delay R Feedback", "Delay Level"}) {
        const int id = parameterId(plugin, name);
        ASSERT_GE(id, 0) << name;
        plugin.getParameter(id)->setValue(plugin.getParameter(id)->getMaximum(),
                                          GenericPlugin::kFlagFromHost);
    }
    RenderScript chord = standardPhrase(plugin, kRate, 0.0);
    chord.frames = static_cast<int64_t>(kRate * 1.2);
    const Stereo playing = render(plugin, chord, BlockSchedule::fixed(480));
    ASSERT_GT(scan(playing, playing.left.size() - 4800).peak, 0.01f) << "notes and echoes sound";
    ASSERT_GT(soundingVoices(plugin), 0);

    plugin.reset();
    EXPECT_EQ(soundingVoices(plugin), 0);
    RenderScript quiet;
    quiet.frames = static_cast<int64_t>(kRate * 0.5);
    const Stereo after = render(plugin, quiet, BlockSchedule::fixed(480));
    expectClean(after, "after reset");
    // The delay filters' characteristic leaves a DC far below hearing, whose step through the
    // reset DC blocker decays from about -110 dBFS.
    EXPECT_LE(scan(after).peak, kResetResidue) << "nothing left of the notes or the echoes";

    // Re-activation at another rate.
    plugin.setSampleRate(96000.0f);
    plugin.reset();
    ASSERT_TRUE(setPlainSine(plugin));
    ASSERT_TRUE(assign(plugin, {"Delay Enabled=Disabled"}));
    plugin.queueResetMarker();
    const Stereo again = render(plugin, heldA4(96000.0f, 0.3), BlockSchedule::fixed(480));
    expectClean(again, "after re-activation");
    EXPECT_NEAR(zeroCrossingFrequency(again.left, 96000.0f, 9600), kA4, 0.05);
}

// Bypass fades the instrument out within the fade time; leaving it resets the engine, and the
// next note fades in and plays as before. No jump anywhere exceeds the sine's own steps.
TEST(Validator, bypassFadesOutAndBackWithoutClicks) {
    constexpr float kRate = 48000.0f;
    const auto fade = static_cast<size_t>(GenericPlugin::BypassProcessor::kFadeMs * kRate / 1000);
    for (const int blockFrames : {1, 64, 4096}) {
        SCOPED_TRACE(blockFrames);
        auto plugin = sinePlugin(kRate);
        const BlockSchedule blocks = BlockSchedule::fixed(blockFrames);
        const RenderScript note = heldA4(kRate, 0.25);
        RenderScript nothing = note;
        nothing.events.clear();
        const Stereo before = render(*plugin, note, blocks);
        const double level = rms(before.left, before.left.size() / 2);
        plugin->setBypass(0, true);
        const Stereo off = render(*plugin, nothing, blocks);
        plugin->setBypass(0, false);
        const Stereo on = render(*plugin, note, blocks);

        // One host block at most passes before a fade starts.
        const size_t settle = fade + static_cast<size_t>(blockFrames);
        EXPECT_GT(scan(off, 0, 48).peak, 0.1f) << "the fade starts from the sound";
        EXPECT_EQ(scan(off, settle).peak, 0.0f) << "bypassed output of an instrument is silence";
        EXPECT_LT(scan(on, 0, fade / 4).peak, 0.3f) << "fades in";
        EXPECT_NEAR(rms(on.left, settle), level, level * 0.02) << "back at full level";
        EXPECT_NEAR(zeroCrossingFrequency(on.left, kRate, settle), kA4, 0.05);

        // Largest step between neighbours, across the block joins as well.
        std::vector<float> all(before.left);
        all.insert(all.end(), off.left.begin(), off.left.end());
        all.insert(all.end(), on.left.begin(), on.left.end());
        float step = 0.0f;
        for (size_t i = 1; i < all.size(); ++i)
            step = std::max(step, std::fabs(all[i] - all[i - 1]));
        const float peak = scan(before, before.left.size() / 2).peak;
        const auto sineStep = static_cast<float>(2 * std::numbers::pi * kA4 / kRate) * peak;
        EXPECT_LE(step, sineStep * 1.1f);
    }
}

}  // namespace
}  // namespace reliability
