#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "engine/OscillatorVoice.h"
#include "engine/VornEngine.h"
#include "engine/VornVoice.h"
#include "tests/engine/VornTestRig.h"

namespace {

std::vector<int> soundingVoices(VornTestRig& rig) {
    std::vector<int> out;
    const auto& voices = rig.engine().voices;
    for (size_t j = 0; j < voices.size(); ++j) {
        if (!voices[j]->isMuted()) out.push_back(static_cast<int>(j));
    }
    return out;
}

std::multiset<int> soundingNotes(VornTestRig& rig) {
    std::multiset<int> notes;
    for (int j : soundingVoices(rig))
        notes.insert(rig.engine().voices[static_cast<size_t>(j)]->note());
    return notes;
}

int voicePlaying(VornTestRig& rig, int note) {
    for (int j : soundingVoices(rig)) {
        if (rig.engine().voices[static_cast<size_t>(j)]->note() == note) return j;
    }
    return -1;
}

// 32 voices hold 32 notes; a further note takes the voice of the oldest held note, unless some
// voice is released: then the oldest released one.
TEST(VornVoiceAllocation, ThirtyTwoVoicesAndStealing) {
    VornTestRig rig;
    rig.set({"Total Voices=32", "EG Main Release=2 sec"});
    rig.render(rig.frames(0.05));
    EXPECT_EQ(rig.engine().voiceManager.activeEnd(), 32);

    std::multiset<int> expected;
    for (int i = 0; i < 32; ++i) {
        rig.noteOn(40 + i, 100, i);
        expected.insert(40 + i);
    }
    rig.render(rig.frames(0.1));
    EXPECT_EQ(soundingVoices(rig).size(), 32u);
    EXPECT_EQ(soundingNotes(rig), expected);

    const int oldest = voicePlaying(rig, 40);
    ASSERT_GE(oldest, 0);
    rig.noteOn(100);
    rig.render(rig.frames(0.05));
    EXPECT_EQ(rig.engine().voices[static_cast<size_t>(oldest)]->note(), 100);
    expected.erase(40);
    expected.insert(100);
    EXPECT_EQ(soundingVoices(rig).size(), 32u);
    EXPECT_EQ(soundingNotes(rig), expected);

    // Released in the order 50, 45: both still ring; 45 began earlier, so its voice goes first.
    rig.noteOff(50);
    rig.noteOff(45, 3);
    rig.render(rig.frames(0.05));
    const int released45 = voicePlaying(rig, 45);
    const int released50 = voicePlaying(rig, 50);
    ASSERT_GE(released45, 0);
    ASSERT_GE(released50, 0);
    EXPECT_FALSE(rig.engine().voices[static_cast<size_t>(released45)]->isHeld());
    rig.noteOn(101);
    rig.render(rig.frames(0.05));
    EXPECT_EQ(rig.engine().voices[static_cast<size_t>(released45)]->note(), 101);
    rig.noteOn(102);
    rig.render(rig.frames(0.05));
    EXPECT_EQ(rig.engine().voices[static_cast<size_t>(released50)]->note(), 102);
    EXPECT_EQ(soundingVoices(rig).size(), 32u);
}

constexpr double kUnisonPositions[] = {-1.0, -1.0 / 3.0, 1.0 / 3.0, 1.0};

// "Total Voices" 10 with "Unison Voices" 4: two notes at a time, each of four oscillator voices
// from the pool, detuned symmetrically by about a semitone at the outside.
TEST(VornVoiceAllocation, UnisonSharesTheVoicesAmongFewerNotes) {
    VornTestRig rig;
    rig.set({"Total Voices=10", "Unison Voices=4"});
    rig.render(rig.frames(0.05));
    VornPlugin::Engine& e = rig.engine();
    EXPECT_EQ(e.voiceManager.activeEnd(), 2);
    for (size_t j = 0; j < 2; ++j) {
        const auto& unison = e.voices[j]->unisonVoices();
        ASSERT_EQ(unison.size(), 4u);
        for (size_t i = 0; i < 4; ++i) EXPECT_EQ(unison[i], e.oscillatorVoicePool[4 * j + i].get());
    }

    rig.noteOn(60);
    rig.noteOn(64, 100, 10);
    rig.render(rig.frames(0.05));
    EXPECT_EQ(soundingNotes(rig), (std::multiset<int>{60, 64}));
    const int first = voicePlaying(rig, 60);
    rig.noteOn(67);
    rig.render(rig.frames(0.05));
    EXPECT_EQ(soundingNotes(rig), (std::multiset<int>{64, 67}));
    ASSERT_GE(first, 0);
    EXPECT_EQ(e.voices[static_cast<size_t>(first)]->note(), 67)
        << "the third note steals the first";

    // Detune targets: position times a factor in [0.95, 1.05] of a semitone, drawn per voice.
    std::set<float> factors;
    for (size_t i = 0; i < 4; ++i) {
        const float target =
            e.voices[static_cast<size_t>(first)]->unisonVoices()[i]->unisonDetune().target();
        const double factor = target * 12.0 / kUnisonPositions[i];
        EXPECT_GE(factor, 0.95 - 1e-6) << i;
        EXPECT_LE(factor, 1.05 + 1e-6) << i;
        factors.insert(static_cast<float>(factor));
    }
    EXPECT_EQ(factors.size(), 4u) << "each oscillator voice draws its own variation";
}

// The spectrum of one unison note: four partials around the note and none at its centre; each
// side hears the voices by their balance, so the outermost voice of the other side is missing.
TEST(VornVoiceAllocation, UnisonSpreadsPartialsAcrossTheStereoField) {
    VornTestRig rig;
    setPlainSine(rig);
    rig.set({"Total Voices=4", "Unison Voices=4", "Unison Spread=100 %",
             "Filter 1 Enabled=Disabled", "Filter 2 Enabled=Disabled"});
    rig.render(rig.frames(0.1));
    rig.noteOn(69);
    const VornTestRig::Stereo out = rig.render(rig.frames(1.3));
    VornPlugin::Engine& e = rig.engine();
    const int voice = voicePlaying(rig, 69);
    ASSERT_GE(voice, 0);
    const auto& unison = e.voices[static_cast<size_t>(voice)]->unisonVoices();
    ASSERT_EQ(unison.size(), 4u);
    VornPlugin::Parameters& p = rig.plugin().parameters();
    const float spread = p.unisonSpread.engineValue(p.unisonSpread.getValue());

    const size_t first = static_cast<size_t>(rig.frames(0.3));
    const size_t count = static_cast<size_t>(rig.frames(1.0));
    const float rate = rig.sampleRate();
    double left[4];
    double right[4];
    for (size_t i = 0; i < 4; ++i) {
        const double hz = 440.0 * std::exp2(unison[i]->unisonDetune().target() * spread);
        left[i] = toneAmplitude(out.left, first, count, hz, rate);
        right[i] = toneAmplitude(out.right, first, count, hz, rate);
    }
    // Balance weights: left 1, 1, 2/3, 0; right 0, 2/3, 1, 1.
    ASSERT_GT(left[0], 0.01);
    EXPECT_NEAR(left[1] / left[0], 1.0, 0.05);
    EXPECT_NEAR(left[2] / left[0], 2.0 / 3.0, 0.05);
    EXPECT_LT(left[3], 0.01 * left[0]);
    EXPECT_NEAR(right[3] / left[0], 1.0, 0.05);
    EXPECT_NEAR(right[2] / left[0], 1.0, 0.05);
    EXPECT_NEAR(right[1] / left[0], 2.0 / 3.0, 0.05);
    EXPECT_LT(right[0], 0.01 * left[0]);
    // No voice sits on the note itself.
    EXPECT_LT(toneAmplitude(out.left, first, count, 440.0, rate), 0.05 * left[0]);
}

}  // namespace
