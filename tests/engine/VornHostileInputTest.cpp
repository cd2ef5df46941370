#include <gtest/gtest.h>

#include <algorithm>
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
            EXPECT_EQ(badSamples(out), 0);
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
            ASSERT_EQ(badSamples(out), 0) << tempo << " BPM, beat " << beat;
            ASSERT_TRUE(std::isfinite(rig.plugin().beatPosition()));
        }
    }
}

}  // namespace
