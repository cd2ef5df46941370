#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "tests/engine/VornTestRig.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

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

}  // namespace

// Delay feedback past 100 % with both delay filters off: the loop saturates instead of running
// away (it once reached +595 dBFS within a few seconds).
TEST(VornSoundOutput, DelayFeedbackAboveUnityStaysBounded) {
    VornTestRig rig;
    rig.set({"Delay Enabled=Enabled", "Delay L Feedback=1.731", "Delay R Feedback=2",
             "Delay Filter 1 Enabled=Disabled", "Delay Filter 2 Enabled=Disabled"});
    for (int note : {48, 52, 55, 60}) rig.noteOn(note, 127);
    const VornTestRig::Stereo out = rig.render(rig.frames(6.0));
    float peak = 0.0f;
    for (const auto* side : {&out.left, &out.right}) {
        for (float x : *side) {
            ASSERT_TRUE(std::isfinite(x));
            peak = std::max(peak, std::fabs(x));
        }
    }
    EXPECT_LT(peak, std::pow(10.0f, 12.0f / 20.0f)) << "above +12 dBFS";
    EXPECT_GT(peak, 0.1f);
}
