#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include "engine/OscillatorVoice.h"
#include "engine/VornEngine.h"
#include "engine/VornSettings.h"
#include "engine/VornVoice.h"
#include "tests/engine/VornTestRig.h"

namespace {

// Equal temperament on A = 440 Hz: note n sounds at 2^(log2(440) + (n - 69) / 12) Hz.
double noteHz(int note) {
    return 440.0 * std::exp2((note - 69) / 12.0);
}

// (time in samples, frequency) of every whole period from the rising crossings of x.
std::vector<std::pair<double, double>> periods(const std::vector<float>& x, float sampleRate) {
    const std::vector<double> t = risingCrossings(x);
    std::vector<std::pair<double, double>> out;
    for (size_t i = 1; i < t.size(); ++i) out.emplace_back(t[i], sampleRate / (t[i] - t[i - 1]));
    return out;
}

// A4 in tune at every rate is the validator's; a pure sine the oscillator's.
TEST(VornSound, TheFootageTransposesByOctavesAtOnceAndNotesFollowTheTemperedScale) {
    VornTestRig rig;
    setPlainSine(rig);
    rig.set({"Filter 1 Enabled=Disabled", "Filter 2 Enabled=Disabled"});
    rig.render(rig.frames(0.5));
    rig.noteOn(69);
    rig.render(rig.frames(0.2));

    // The footage takes effect at once, without a glide: the first periods are already there.
    const std::pair<const char*, double> footages[] = {
        {"Master Scale=8\"", 880.0}, {"Master Scale=4\"", 1760.0}, {"Master Scale=32\"", 220.0}};
    for (const auto& [assignment, hz] : footages) {
        rig.set(assignment);
        VornTestRig::Stereo b = rig.render(rig.frames(1.1));
        const double tolerance = hz * 0.05 / 440.0;
        EXPECT_NEAR(zeroCrossingFrequency(b.left, rig.sampleRate(), 0, rig.frames(0.01)), hz,
                    hz * 1e-3)
            << assignment;
        EXPECT_NEAR(zeroCrossingFrequency(b.left, rig.sampleRate(), rig.frames(0.05)), hz,
                    tolerance)
            << assignment;
    }

    // Other notes follow the tempered scale; the oscillator's own scale adds octaves.
    rig.set({"Master Scale=16\"", "Osc 1 Scale=1 octave"});
    rig.noteOff(69);
    rig.noteOn(60, 100, 1);
    VornTestRig::Stereo c = rig.render(rig.frames(1.2));
    EXPECT_NEAR(zeroCrossingFrequency(c.left, rig.sampleRate(), rig.frames(0.1)), 2.0 * noteHz(60),
                0.1);
}

// Mono legato with a 100 ms portamento: the first key (57) starts on its pitch, a second key (69)
// while the first is held glides there without restarting the envelope, releasing it glides back
// to the held first key.
TEST(VornSound, MonoLegatoGlidesToTheSecondKeyAndBackToTheHeldFirstInItsTime) {
    VornTestRig rig;
    setPlainSine(rig);
    rig.set({"Polyphony=Mono", "Portamento Mode=Legato", "Portamento=100 ms"});
    rig.render(rig.frames(0.5));
    rig.noteOn(57);
    const VornTestRig::Stereo first = rig.render(rig.frames(0.3));
    rig.noteOn(69);
    const VornTestRig::Stereo up = rig.render(rig.frames(0.8));
    rig.noteOff(69);
    const VornTestRig::Stereo down = rig.render(rig.frames(0.8));
    const float rate = rig.sampleRate();
    const auto at = [&rig](double seconds) { return static_cast<size_t>(rig.frames(seconds)); };
    const double steady = rms(first.left, at(0.1));
    const double low = noteHz(57);
    const double high = noteHz(69);

    const auto start = periods(first.left, rate);
    ASSERT_GT(start.size(), 3u);
    // The first crossing may fall in the attack; the first whole period is the second.
    EXPECT_NEAR(start[1].second, low, 0.5) << "the first key must not glide";
    EXPECT_NEAR(zeroCrossingFrequency(first.left, rate, at(0.1)), low, 0.05);

    const auto rising = periods(up.left, rate);
    ASSERT_GT(rising.size(), 10u);
    // Moving within the first 10 ms, but not there yet; then rising steadily.
    EXPECT_GT(rising[1].second, low * 1.02);
    EXPECT_LT(rising[1].second, high * 0.9);
    for (size_t i = 1; i < rising.size(); ++i) {
        EXPECT_GE(rising[i].second, rising[i - 1].second - 0.5) << "at sample " << rising[i].first;
    }
    EXPECT_NEAR(zeroCrossingFrequency(up.left, rate, at(0.6)), high, 0.05);
    // Legato: the envelope goes on, so the level never dips at the change.
    for (size_t i = 0; i < at(0.1); i += 240) {
        EXPECT_GT(rms(up.left, i, i + 480), 0.9 * steady) << "at sample " << i;
    }

    const auto falling = periods(down.left, rate);
    ASSERT_GT(falling.size(), 10u);
    EXPECT_LT(falling[1].second, high / 1.02);
    EXPECT_GT(falling[1].second, low * 1.1);
    for (size_t i = 1; i < falling.size(); ++i) {
        EXPECT_LE(falling[i].second, falling[i - 1].second + 0.5)
            << "at sample " << falling[i].first;
    }
    EXPECT_NEAR(zeroCrossingFrequency(down.left, rate, at(0.6)), low, 0.05);
    EXPECT_GT(rms(down.left, at(0.6)), 0.9 * steady) << "the first key is held";

    // Both glides land on their targets when the 100 ms are up, and not before.
    for (const auto& [out, target] : {std::pair{&up, high}, std::pair{&down, low}}) {
        EXPECT_NEAR(zeroCrossingFrequency(out->left, rate, at(0.105), at(0.3)), target, 0.05);
        EXPECT_GT(std::fabs(zeroCrossingFrequency(out->left, rate, at(0.06), at(0.08)) - target),
                  0.5);
    }
}

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

// Controller 64 holds a released note until the pedal comes up; with "SustainPedal" off the
// note ends at its key and the controller does nothing.
TEST(VornSound, TheSustainPedalHoldsNotesUnlessTheSettingTurnsItOff) {
    for (const bool pedal : {true, false}) {
        SCOPED_TRACE(pedal);
        VornTestRig rig;
        static_cast<VornPlugin::VornSettings&>(rig.plugin().settings()).sustainPedal = pedal;
        rig.set({"EG Main Sustain=0 dB", "EG Main Release=0.05 sec"});
        rig.noteOn(60);
        rig.render(rig.frames(0.1));
        rig.midi(0xB0, 64, 127);
        rig.noteOff(60);
        rig.render(rig.frames(0.5));
        EXPECT_EQ(peakOf(rig.render(rig.frames(0.1))) > 0.05f, pedal) << "held by the pedal";
        rig.midi(0xB0, 64, 0);
        rig.render(rig.frames(0.3));
        EXPECT_LT(peakOf(rig.render(rig.frames(0.1))), 1e-4f) << "let go with the pedal";
    }
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
