#include <gtest/gtest.h>

#include "engine/VornEngine.h"
#include "engine/VornVoice.h"
#include "modulation/MidiModSource.h"
#include "tests/engine/VornTestRig.h"
#include "tests/support/ScalaTexts.h"

namespace {

double edo19Hz(int key) {
    return 440.0 * std::exp2((key - 69) / 19.0);
}

// Cents off 19-EDO of the sine heard from `from` seconds into `out`.
double centsOff(const VornTestRig& rig, const VornTestRig::Stereo& out, int key, double from) {
    return centsBetween(zeroCrossingFrequency(out.left, rig.sampleRate(), rig.frames(from)),
                        edo19Hz(key));
}

void tune(VornTestRig& rig, const std::string& scl, const std::string& kbm = {}) {
    std::string error;
    ASSERT_TRUE(rig.plugin().setTuning(scl, kbm, error)) << error;
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
        for (VornTestRig* rig : {&plain, &tuned}) rig->noteOn(key);
        const VornTestRig::Stereo a = plain.render(plain.frames(0.3));
        const VornTestRig::Stereo b = tuned.render(tuned.frames(0.3));
        EXPECT_EQ(a.left, b.left) << key;
        EXPECT_EQ(a.right, b.right) << key;
    }
}

// A sine sounds at the scale's pitch in poly play, legato glides and unison; the keyboard
// position follows; a refused file leaves the tuning in force; unmapped keys stay silent.
TEST(VornTuning, NotesGlidesAndKeyTrackingFollowTheScale) {
    VornTestRig rig;
    setPlainSine(rig);
    tune(rig, equalScl(19), "0\n0\n72\n60\n69\n440\n0\n");
    std::string error;
    EXPECT_FALSE(rig.plugin().setTuning("bad\n2\n3/0\n2/1\n", "", error));
    EXPECT_EQ(error, "scale file: line 3: ratio '3/0' needs two positive parts");
    EXPECT_EQ(rig.plugin().tuning().current()->description(), "19 EDO");
    double worst = 0.0;
    for (int key : {41, 55, 64, 69}) {
        rig.noteOn(key);
        worst = std::max(worst, std::fabs(centsOff(rig, rig.render(rig.frames(0.5)), key, 0.1)));
        EXPECT_NEAR(rig.engine().midiCache.value(MidiModSource::kKeyboardKey),
                    69.0 + 12.0 * std::log2(edo19Hz(key) / 440.0), 1e-4);
        rig.noteOff(key);
        rig.render(rig.frames(0.3));
    }
    RecordProperty("worst_cents_19edo", std::to_string(worst));
    EXPECT_LT(worst, 0.2);

    rig.set({"Polyphony=Mono", "Portamento Mode=Legato", "Portamento=100 ms", "Unison Voices=2",
             "Unison Spread=0 %"});
    rig.noteOn(57);
    EXPECT_LT(std::fabs(centsOff(rig, rig.render(rig.frames(0.4)), 57, 0.1)), 0.2);
    rig.noteOn(66);
    EXPECT_LT(std::fabs(centsOff(rig, rig.render(rig.frames(0.6)), 66, 0.4)), 0.2);
    for (const auto& voice : rig.engine().voices) {
        if (voice->midiCache().noteFilter() != 66) continue;
        EXPECT_NEAR(voice->midiCache().value(MidiModSource::kKeyboardKey),
                    69.0 + 12.0 * std::log2(edo19Hz(66) / 440.0), 1e-4);
    }
    rig.noteOff(66);
    rig.noteOff(57);
    rig.render(rig.frames(1.0));
    rig.noteOn(80);
    EXPECT_LT(peakOf(rig.render(rig.frames(0.2))), 1e-6f);
}
