#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "engine/VornEngine.h"
#include "tests/engine/VornTestRig.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
// +24 dBFS: far above any patch, far below a runaway.
constexpr float kPeakLimit = 15.848932f;

// Two different deterministic noise signals, as a host's side-chain input.
VornTestRig::Stereo noise(int frames, uint32_t seed) {
    VornTestRig::Stereo s;
    for (int i = 0; i < frames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        s.left.push_back(static_cast<float>(seed >> 8) / 16777216.0f - 0.5f);
        seed = seed * 1664525u + 1013904223u;
        s.right.push_back(static_cast<float>(seed >> 8) / 16777216.0f - 0.5f);
    }
    return s;
}

int mismatches(const std::vector<float>& a, const std::vector<float>& b, size_t first) {
    int count = 0;
    for (size_t i = first; i < a.size(); ++i) count += a[i] != b[i];
    return count;
}

// "Side Chain" audition hands the host's inputs to the outputs untouched: sample for sample,
// without the delay, the stereo width or the playing synthesizer; switching cross-fades.
TEST(VornSoundOutput, AuditionPassesTheSideChainThroughUnchanged) {
    VornTestRig rig;
    // Everything after the voices that could colour the signal is switched on.
    rig.set({"Delay Enabled=Enabled", "Stereo=0", "Output Pan=-0.5"});
    rig.noteOn(48);
    const int segment = rig.frames(0.2);
    const VornTestRig::Stereo in1 = noise(segment, 7);
    const VornTestRig::Stereo synth = rig.render(segment, VornTestRig::kBlockFrames, 2, &in1);
    EXPECT_GT(rms(synth.left, segment / 2), 1e-3);
    EXPECT_GT(mismatches(synth.left, in1.left, 0), segment / 2) << "Output plays the synthesizer";

    // Samples from outside that are not finite enter as silence, in host blocks of any size.
    rig.set("Audition Signal=Side Chain");
    VornTestRig::Stereo in2 = noise(segment, 11);
    VornTestRig::Stereo expected = in2;
    const float hostile[] = {kInf, -kInf, std::nanf(""), 1e-30f};
    for (size_t i = 0; i < in2.left.size(); i += 5) {
        in2.left[i] = hostile[i % 4];
        in2.right[(i + 2) % in2.right.size()] = hostile[(i + 1) % 4];
    }
    for (auto [from, to] : {std::pair{&in2.left, &expected.left}, {&in2.right, &expected.right}}) {
        for (size_t i = 0; i < from->size(); ++i)
            (*to)[i] = std::isfinite((*from)[i]) ? (*from)[i] : 0.0f;
    }
    const VornTestRig::Stereo heard = rig.render(segment, 77, 2, &in2);
    const size_t fadeEnd = static_cast<size_t>(rig.frames(0.02)) + 1;
    EXPECT_EQ(mismatches(heard.left, expected.left, fadeEnd), 0);
    EXPECT_EQ(mismatches(heard.right, expected.right, fadeEnd), 0);
    // Halfway through the cross-fade both signals are heard.
    const size_t half = static_cast<size_t>(rig.frames(0.01));
    EXPECT_GT(mismatches(heard.left, expected.left, 0), static_cast<int>(half));

    rig.set("Audition Signal=Output");
    const VornTestRig::Stereo in3 = noise(segment, 13);
    const VornTestRig::Stereo back = rig.render(segment, VornTestRig::kBlockFrames, 2, &in3);
    EXPECT_EQ(mismatches(back.left, in3.left, fadeEnd), static_cast<int>(segment - fadeEnd));
    EXPECT_GT(rms(back.left, fadeEnd), 1e-3) << "the synthesizer is heard again";
}

// A host with one output channel gets the left side, not a mix of both.
TEST(VornSoundOutput, OneOutputChannelCarriesTheLeftSide) {
    for (const char* pan : {"Output Pan=-1", "Output Pan=0.5"}) {
        VornTestRig stereo;
        VornTestRig mono;
        for (VornTestRig* rig : {&stereo, &mono}) {
            rig->set(pan);
            rig->render(rig->frames(0.1));
            rig->noteOn(45);
            rig->noteOn(52, 90, 17);
        }
        const int frames = stereo.frames(0.5);
        const VornTestRig::Stereo both = stereo.render(frames);
        const VornTestRig::Stereo left = mono.render(frames, VornTestRig::kBlockFrames, 1);
        EXPECT_GT(rms(both.left), 1e-3) << pan;
        EXPECT_EQ(mismatches(left.left, both.left, 0), 0) << pan;
        if (std::string(pan) == "Output Pan=-1") {
            EXPECT_LT(rms(both.right), 1e-4 * rms(both.left)) << "hard left";
        } else {
            EXPECT_GT(rms(both.right), 1.2 * rms(both.left)) << "right of centre";
        }
    }
}

// Delay feedback past 100 % with both delay filters off: the loop saturates instead of running
// away (it once reached +595 dBFS within a few seconds).
TEST(VornSoundOutput, DelayFeedbackAboveUnityStaysBounded) {
    VornTestRig rig;
    rig.set({"Delay Enabled=Enabled", "Delay L Feedback=1.731", "Delay R Feedback=2",
             "Delay Filter 1 Enabled=Disabled", "Delay Filter 2 Enabled=Disabled"});
    for (int note : {48, 52, 55, 60}) rig.noteOn(note, 127);
    const float peak = peakOf(rig.render(rig.frames(6.0)));
    EXPECT_LT(peak, std::pow(10.0f, 12.0f / 20.0f)) << "above +12 dBFS";
    EXPECT_GT(peak, 0.1f);
}

void setPlain(VornTestRig& rig, const std::string& name, float plain) {
    AbstractPluginParameter* p = findParameter(rig.plugin(), name);
    ASSERT_NE(p, nullptr) << name;
    p->setValue(plain, 0);
}

// A sawtooth chord with envelope follower 1 driving `target` at full depth.
void followerPatch(VornTestRig& rig, const std::string& target) {
    rig.set({"Num Active EFs=1", "Num Active Slots=1", "Slot 1 Source=EF 1", "Slot 1 Level=1"});
    rig.set("Slot 1 Target=" + target);
    rig.noteOn(48);
    rig.noteOn(55);
}

// Side-chain audio from outside holding infinities or NaN: those samples read as silence, the
// rest as they are, and a follower routed to a pitch, a cutoff or the volume keeps the output
// finite and bounded.
TEST(VornHostileInput, NonFiniteSideChainThroughAFollower) {
    struct Input {
        const char* name;
        float value;
        int period;  // every period-th sample is the value, the others a loud 0.9
    };
    const Input inputs[] = {{"+inf", kInf, 1},
                            {"-inf", -kInf, 1},
                            {"NaN", kNaN, 1},
                            {"+inf bursts", kInf, 7},
                            {"NaN bursts", kNaN, 5}};
    for (const char* target : {"Master Tune", "Filter 1 Freq", "Output Volume"}) {
        for (const Input& input : inputs) {
            SCOPED_TRACE(std::string(target) + ", " + input.name);
            VornTestRig rig;
            followerPatch(rig, target);
            const int frames = rig.frames(0.25);
            VornTestRig::Stereo sideChain;
            for (int i = 0; i < frames; ++i) {
                const float x = i % input.period == 0 ? input.value : 0.9f;
                sideChain.left.push_back(x);
                sideChain.right.push_back(i % 2 ? x : 0.0f);
            }
            const VornTestRig::Stereo out = rig.render(frames, 100, 2, &sideChain);
            EXPECT_LT(peakOf(out), kPeakLimit);
            EXPECT_GT(rms(out.left, frames / 2), 1e-3) << "the chord still plays";
            for (const auto& follower : rig.engine().followers) {
                EXPECT_TRUE(std::isfinite(follower->state()));
            }
        }
    }
}

// Host positions outside any sense: a tempo or beat that is not finite is not taken; the
// tempo-synced XLFO on the pitch and the synced delays keep the output finite and bounded. Rates
// outside the engine's range are the host bindings' tests.
TEST(VornHostileInput, TransportOutsideItsRange) {
    VornTestRig rig;
    rig.set({"Num Active XLFOs=1", "Num Active Slots=1", "Slot 1 Source=XLFO 1",
             "Slot 1 Target=Master Tune", "Slot 1 Level=1"});
    setPlain(rig, "XLFO 1 Sync Mode", 3.0f);
    setPlain(rig, "Delay L Sync", 3.0f);
    setPlain(rig, "Delay R Sync", 7.0f);
    rig.set("Delay Enabled=Enabled");
    rig.noteOn(48);
    const double values[] = {kInf, -kInf, kNaN, 1e300, -1e300, 0.0, 3e38, 1e-300};
    for (const double tempo : values) {
        for (const double beat : values) {
            rig.plugin().updateTransport(tempo, static_cast<float>(beat));
            const VornTestRig::Stereo out = rig.render(300);
            ASSERT_LT(peakOf(out), kPeakLimit) << tempo << " BPM, beat " << beat;
            ASSERT_TRUE(std::isfinite(rig.plugin().beatPosition()));
        }
    }
}

// A note-off behind more events than the queue holds still ends its note; dropped controller
// messages are counted.
TEST(VornHostileInput, NoteOffsAreNeverLostInAFloodOfMidi) {
    VornTestRig rig;
    setPlainSine(rig);
    rig.set("EG Main Release=0.01 sec");
    rig.render(256);
    rig.noteOn(69);
    rig.render(4800);
    for (int i = 0; i < 70000; ++i) rig.midi(0xB0, 1, static_cast<uint8_t>(i % 128));
    rig.noteOff(69);
    rig.render(256);
    const VornTestRig::Stereo tail = rig.render(rig.frames(0.5));
    EXPECT_LT(rms(tail.left, tail.left.size() / 2), 1e-4);
    EXPECT_GT(rig.plugin().droppedMidiEvents(), 0u);
}

}  // namespace
