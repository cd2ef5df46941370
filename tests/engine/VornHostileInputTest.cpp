#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <iterator>
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

// Count of samples that are not finite or reach the limit, in both channels.
int badSamples(const VornTestRig::Stereo& out) {
    int bad = 0;
    for (const std::vector<float>* channel : {&out.left, &out.right}) {
        for (const float x : *channel) bad += !(std::fabs(x) < kPeakLimit);
    }
    return bad;
}

void setPlain(VornTestRig& rig, const std::string& name, float plain) {
    AbstractPluginParameter* p = findParameter(rig.plugin(), name);
    ASSERT_NE(p, nullptr) << name;
    p->setValue(plain, 0);
}

void setToMaximum(VornTestRig& rig, const std::string& name) {
    AbstractPluginParameter* p = findParameter(rig.plugin(), name);
    ASSERT_NE(p, nullptr) << name;
    p->setValue(p->getMaximum(), 0);
}

// A sawtooth chord with envelope follower 1 driving `target` at full depth.
void followerPatch(VornTestRig& rig, const std::string& target) {
    rig.set({"Num Active EFs=1", "Num Active Slots=1", "Slot 1 Source=EF 1"});
    rig.set("Slot 1 Target=" + target);
    setToMaximum(rig, "Slot 1 Level");
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
    const Input inputs[] = {{"+inf", kInf, 1},    {"-inf", -kInf, 1},  {"NaN", kNaN, 1},
                            {"+inf bursts", kInf, 7}, {"NaN bursts", kNaN, 5}};
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
            EXPECT_EQ(badSamples(out), 0);
            EXPECT_GT(rms(out.left, frames / 2), 1e-3) << "the chord still plays";
            for (const auto& follower : rig.engine().followers) {
                EXPECT_TRUE(std::isfinite(follower->state()));
            }
        }
    }
}

// Heard directly, the side chain shows what enters: samples that are not finite as 0, every
// other sample exactly as it came.
TEST(VornHostileInput, SideChainEntersWithNonFiniteSamplesAsSilence) {
    VornTestRig rig;
    rig.set("Audition Signal=Side Chain");
    const float pattern[] = {0.25f, kInf, -0.5f, kNaN, -kInf, 1e-30f, 3.0f};
    const int frames = rig.frames(0.1);
    VornTestRig::Stereo in;
    for (int i = 0; i < frames; ++i) {
        in.left.push_back(pattern[i % std::size(pattern)]);
        in.right.push_back(pattern[(i + 3) % std::size(pattern)]);
    }
    const VornTestRig::Stereo out = rig.render(frames, 77, 2, &in);
    const int settled = rig.frames(0.02) + 1;  // after the audition cross-fade
    int mismatches = 0;
    for (int i = settled; i < frames; ++i) {
        for (const auto& [x, y] : {std::pair{in.left[i], out.left[i]}, {in.right[i], out.right[i]}})
            mismatches += std::bit_cast<uint32_t>(std::isfinite(x) ? x : 0.0f) !=
                          std::bit_cast<uint32_t>(y);
    }
    EXPECT_EQ(mismatches, 0);
}

// Host positions and sample rates outside any sense: a tempo or beat that is not finite is not
// taken, a rate that is not finite or not above 0 leaves the rate as it was; the tempo-synced
// XLFO on the pitch and the synced delays keep the output finite and bounded.
TEST(VornHostileInput, TransportAndSampleRatesOutsideTheirRanges) {
    VornTestRig rig;
    rig.set({"Num Active XLFOs=1", "Num Active Slots=1", "Slot 1 Source=XLFO 1",
             "Slot 1 Target=Master Tune"});
    setToMaximum(rig, "Slot 1 Level");
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
            ASSERT_EQ(badSamples(out), 0) << tempo << " BPM, beat " << beat;
            ASSERT_TRUE(std::isfinite(rig.plugin().beatPosition()));
        }
    }

    for (const float rate : {0.0f, -1.0f, -0.0f, kInf, -kInf, kNaN}) {
        rig.plugin().setSampleRate(rate);
        EXPECT_EQ(rig.plugin().environment().sampleRate(), VornTestRig::kSampleRate) << rate;
    }
    // Rates beyond what the engine can run are clamped to its range, which plays.
    for (const float rate : {0.25f, 1.0f, 1e9f, 1e30f, std::numeric_limits<float>::max()}) {
        rig.plugin().setSampleRate(rate);
        const float taken = rig.plugin().environment().sampleRate();
        EXPECT_EQ(taken, std::clamp(rate, wave::Environment::kMinSampleRate,
                                    wave::Environment::kMaxSampleRate));
        EXPECT_EQ(badSamples(rig.render(1000)), 0) << rate;
    }
}

}  // namespace
