#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "engine/OscillatorVoice.h"
#include "engine/VornEngine.h"
#include "engine/VornVoice.h"
#include "tests/engine/VornTestRig.h"

namespace {

std::multiset<int> soundingNotes(VornTestRig& rig) {
    std::multiset<int> notes;
    for (const auto& voice : rig.engine().voices) {
        if (!voice->isMuted()) notes.insert(voice->note());
    }
    return notes;
}

// The sounding voice of `note`, or null.
VornPlugin::VornVoice* voicePlaying(VornTestRig& rig, int note) {
    for (const auto& voice : rig.engine().voices) {
        if (!voice->isMuted() && voice->note() == note) return voice.get();
    }
    return nullptr;
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
    EXPECT_EQ(soundingNotes(rig), expected);

    VornPlugin::VornVoice* oldest = voicePlaying(rig, 40);
    ASSERT_NE(oldest, nullptr);
    rig.noteOn(100);
    rig.render(rig.frames(0.05));
    EXPECT_EQ(oldest->note(), 100);
    expected.erase(40);
    expected.insert(100);
    EXPECT_EQ(soundingNotes(rig), expected);

    // Released in the order 50, 45: both still ring; 45 began earlier, so its voice goes first.
    rig.noteOff(50);
    rig.noteOff(45, 3);
    rig.render(rig.frames(0.05));
    VornPlugin::VornVoice* released45 = voicePlaying(rig, 45);
    VornPlugin::VornVoice* released50 = voicePlaying(rig, 50);
    ASSERT_NE(released45, nullptr);
    ASSERT_NE(released50, nullptr);
    EXPECT_FALSE(released45->isHeld());
    for (const auto& [note, voice] : {std::pair{101, released45}, std::pair{102, released50}}) {
        rig.noteOn(note);
        rig.render(rig.frames(0.05));
        EXPECT_EQ(voice->note(), note);
    }
    EXPECT_EQ(soundingNotes(rig).size(), 32u);
}

// "Total Voices" 10 with "Unison Voices" 4: two notes at a time, each of four oscillator voices
// from the pool, detuned by about a semitone at the outside and spread by their balance.
TEST(VornVoiceAllocation, UnisonSharesTheVoicesAmongFewerNotesAcrossTheStereoField) {
    VornTestRig rig;
    setPlainSine(rig);
    rig.set({"Total Voices=10", "Unison Voices=4", "Unison Spread=100 %",
             "Filter 1 Enabled=Disabled", "Filter 2 Enabled=Disabled"});
    rig.render(rig.frames(0.1));
    VornPlugin::Engine& e = rig.engine();
    EXPECT_EQ(e.voiceManager.activeEnd(), 2);
    for (size_t j = 0; j < 2; ++j) {
        const auto& unison = e.voices[j]->unisonVoices();
        ASSERT_EQ(unison.size(), 4u);
        for (size_t i = 0; i < 4; ++i) EXPECT_EQ(unison[i], e.oscillatorVoicePool[4 * j + i].get());
    }

    rig.noteOn(69);
    const VornTestRig::Stereo out = rig.render(rig.frames(1.3));
    VornPlugin::VornVoice* voice = voicePlaying(rig, 69);
    ASSERT_NE(voice, nullptr);
    const auto& unison = voice->unisonVoices();
    // Detune targets: position (-1, -1/3, 1/3, 1) times a factor in [0.95, 1.05] of a semitone,
    // drawn per oscillator voice.
    const double positions[] = {-1.0, -1.0 / 3.0, 1.0 / 3.0, 1.0};
    std::set<float> factors;
    for (size_t i = 0; i < 4; ++i) {
        const double factor = unison[i]->unisonDetune().target() * 12.0 / positions[i];
        EXPECT_GE(factor, 0.95 - 1e-6) << i;
        EXPECT_LE(factor, 1.05 + 1e-6) << i;
        factors.insert(static_cast<float>(factor));
    }
    EXPECT_EQ(factors.size(), 4u) << "each oscillator voice draws its own variation";

    // Four partials around the note, none at its centre; each side hears the voices by their
    // balance (left 1, 1, 2/3, 0; right 0, 2/3, 1, 1).
    const size_t first = static_cast<size_t>(rig.frames(0.3));
    const size_t count = static_cast<size_t>(rig.frames(1.0));
    VornPlugin::Parameters& p = rig.plugin().parameters();
    const float spread = p.unisonSpread.engineValue(p.unisonSpread.getValue());
    const auto amplitude = [&](const std::vector<float>& side, size_t i) {
        const double hz = 440.0 * std::exp2(unison[i]->unisonDetune().target() * spread);
        return toneAmplitude(side, first, count, hz, rig.sampleRate());
    };
    const double unit = amplitude(out.left, 0);
    ASSERT_GT(unit, 0.01);
    const double left[] = {1.0, 1.0, 2.0 / 3.0, 0.0};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(amplitude(out.left, i) / unit, left[i], 0.05) << i;
        EXPECT_NEAR(amplitude(out.right, i) / unit, left[3 - i], 0.05) << i;
    }
    EXPECT_LT(toneAmplitude(out.left, first, count, 440.0, rig.sampleRate()), 0.05 * unit);

    // A third note steals the first.
    rig.noteOn(64);
    rig.render(rig.frames(0.05));
    rig.noteOn(67);
    rig.render(rig.frames(0.05));
    EXPECT_EQ(soundingNotes(rig), (std::multiset<int>{64, 67}));
    EXPECT_EQ(voice->note(), 67);
}

}  // namespace
