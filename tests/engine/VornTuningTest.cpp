#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/VornEngine.h"
#include "engine/VornVoice.h"
#include "modulation/MidiModSource.h"
#include "tests/engine/VornTestRig.h"

namespace {

std::string equalScl(int notes) {
    std::string text =
        "! equal\n" + std::to_string(notes) + " EDO\n" + std::to_string(notes) + "\n";
    for (int k = 1; k <= notes; ++k) text += std::to_string(1200.0 * k / notes) + "\n";
    return text;
}

double edo19Hz(int key) {
    return 440.0 * std::exp2((key - 69) / 19.0);
}

double cents(double hz, double reference) {
    return 1200.0 * std::log2(hz / reference);
}

void tune(VornTestRig& rig, const std::string& scl, const std::string& kbm = {}) {
    std::string error;
    ASSERT_TRUE(rig.plugin().setTuning(scl, kbm, error)) << error;
}

// Measured pitch of `key` held for `seconds`, over its steady part.
double playedHz(VornTestRig& rig, int key, double seconds = 0.6) {
    rig.noteOn(key);
    const VornTestRig::Stereo out = rig.render(rig.frames(seconds));
    rig.noteOff(key);
    rig.render(rig.frames(0.3));
    return zeroCrossingFrequency(out.left, rig.sampleRate(), rig.frames(0.1));
}

VornTestRig::Stereo playOne(VornTestRig& rig, int key) {
    rig.render(rig.frames(0.1));
    rig.noteOn(key);
    return rig.render(rig.frames(0.3));
}

}  // namespace

TEST(VornTuning, TwelveToneEqualScaleRendersBitForBitAsNoTuning) {
    VornTestRig plain;
    VornTestRig tuned;
    tune(tuned, equalScl(12));
    for (VornTestRig* rig : {&plain, &tuned}) {
        setPlainSine(*rig);
        rig->set({"Unison Voices=2", "Polyphony=Mono", "Portamento=50 ms"});
    }
    for (int key : {37, 60, 81}) {
        const VornTestRig::Stereo a = playOne(plain, key);
        const VornTestRig::Stereo b = playOne(tuned, key);
        EXPECT_EQ(a.left, b.left) << key;
        EXPECT_EQ(a.right, b.right) << key;
    }
}

// A sine played through the synthesizer sounds at the scale's pitch, keyboard tracking follows,
// and a refused file leaves the tuning in force.
TEST(VornTuning, NotesSoundAtTheScalePitchAndKeyTrackingFollows) {
    VornTestRig rig;
    setPlainSine(rig);
    rig.set({"Filter 1 Enabled=Disabled", "Filter 2 Enabled=Disabled"});
    rig.render(rig.frames(0.3));
    tune(rig, equalScl(19));
    std::string error;
    EXPECT_FALSE(rig.plugin().setTuning("bad\n2\n3/0\n2/1\n", "", error));
    EXPECT_EQ(error, "scale file: line 3: ratio '3/0' needs two positive parts");
    ASSERT_NE(rig.plugin().tuning().current(), nullptr);
    EXPECT_EQ(rig.plugin().tuning().current()->description(), "19 EDO");

    double worst = 0.0;
    for (int key : {41, 55, 60, 64, 69, 76, 88}) {
        const double hz = playedHz(rig, key);
        worst = std::max(worst, std::fabs(cents(hz, edo19Hz(key))));
        // The plug-in-wide keyboard position is the key's place on the 12-tone scale.
        EXPECT_NEAR(rig.engine().midiCache.value(MidiModSource::kKeyboardKey),
                    69.0 + 12.0 * std::log2(edo19Hz(key) / 440.0), 1e-4);
    }
    RecordProperty("worst_cents_19edo", std::to_string(worst));
    EXPECT_LT(worst, 0.2);

    // Back to equal temperament.
    rig.plugin().tuning().set(nullptr);
    EXPECT_LT(std::fabs(cents(playedHz(rig, 64), 440.0 * std::exp2(-5.0 / 12))), 0.2);
}

TEST(VornTuning, GlidesAndUnisonLandOnTunedPitchesAndUnmappedKeysStaySilent) {
    VornTestRig rig;
    setPlainSine(rig);
    rig.set({"Polyphony=Mono", "Portamento Mode=Legato", "Portamento=100 ms", "Unison Voices=2",
             "Unison Spread=0 %"});
    rig.render(rig.frames(0.3));
    // 19-EDO with every key of the octave above key 72 left unmapped.
    const std::string kbm = "0\n0\n72\n60\n69\n440\n0\n";
    tune(rig, equalScl(19), kbm);
    rig.noteOn(57);
    const VornTestRig::Stereo first = rig.render(rig.frames(0.4));
    rig.noteOn(66);
    const VornTestRig::Stereo up = rig.render(rig.frames(0.6));
    const float rate = rig.sampleRate();
    EXPECT_LT(
        std::fabs(cents(zeroCrossingFrequency(first.left, rate, rig.frames(0.1)), edo19Hz(57))),
        0.2);
    EXPECT_LT(std::fabs(cents(zeroCrossingFrequency(up.left, rate, rig.frames(0.4)), edo19Hz(66))),
              0.2);
    for (const auto& voice : rig.engine().voices) {
        if (voice->midiCache().noteFilter() == 66) {
            EXPECT_NEAR(voice->midiCache().value(MidiModSource::kKeyboardKey),
                        69.0 + 12.0 * std::log2(edo19Hz(66) / 440.0), 1e-4);
        }
    }
    rig.noteOff(66);
    rig.noteOff(57);
    rig.render(rig.frames(1.0));
    rig.noteOn(80);
    EXPECT_LT(peakOf(rig.render(rig.frames(0.2))), 1e-6f);
}
