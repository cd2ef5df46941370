#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

#include "dsp/XLFO.h"
#include "dsp/XLFOFreqController.h"
#include "tests/dsp/XLFOTestRig.h"

namespace {

using namespace xlfotest;
using dsptest::render;

constexpr int kOneBar = 5;  // "Free,16,8,4,2,1,..."

TEST(XLFOFreqControllerTest, SyncModesRunTheirBarsPerCycle) {
    Rig rig;
    XLFO xlfo(rig.env);
    XLFOFreqController controller(rig.env, xlfo);
    // "16,8,4,2,1,1/2,...,1/64" bars at 120 BPM: 120 / (bars 240) cycles per second.
    for (int mode = 1; mode < XLFOFreqController::kModeCount; ++mode) {
        controller.syncMode = mode;
        controller.setTransport(120.0f, 0.0);
        EXPECT_FLOAT_EQ(controller.syncFrequency().target(), std::exp2(mode - 6)) << mode;
    }
    // The XLFO reads the controller, scaled by the offset factor, once settled (250 ms).
    controller.syncMode = kOneBar;
    controller.defaultOffset().setTarget(2.0f, 0.0f);
    render(rig.env, xlfo, 8192);
    EXPECT_EQ(controller.outputData()[0], 1.0f);
    EXPECT_FALSE(controller.transportPending());
    // Switching mode applies the last tempo at once: 16 bars.
    controller.syncMode = 1;
    EXPECT_FLOAT_EQ(controller.syncFrequency().target(), 120.0f / (16 * 240));
    EXPECT_TRUE(controller.transportPending());

    // Free: the free-frequency source passes through, the tempo is not applied.
    controller.syncMode = XLFOFreqController::kFree;
    controller.defaultFreeFrequency().setTarget(3.0f, 0.0f);
    controller.setTransport(90.0f, 4.0);
    EXPECT_FLOAT_EQ(controller.syncFrequency().target(), 120.0f / (16 * 240));
    render(rig.env, xlfo, kBlock);
    EXPECT_EQ(controller.outputData(), controller.defaultFreeFrequency().outputData());
}

TEST(XLFOFreqControllerTest, SongPositionRephasesFromTheTriggerReference) {
    Rig rig;
    XLFO xlfo(rig.env);
    XLFOFreqController controller(rig.env, xlfo);
    controller.syncMode = kOneBar;
    xlfo.midiTrigger = true;
    xlfo.defaultPhaseOffset().setTarget(0.125f, 0.0f);
    render(rig.env, xlfo, kBlock);
    // Sends a song position at 120 BPM; returns the raw phase and the position it leads to.
    const auto send = [&](double beats) {
        controller.setTransport(120.0f, beats);
        rig.env.beginChunk();
        controller.pull(kBlock, 0);
        const std::pair<double, double> phase{xlfo.rawPhase(), xlfo.position()};
        xlfo.pull(kBlock, 0);
        rig.env.finishChunk(kBlock, false);
        return phase;
    };

    // (10 quarter notes / 4) / 1 bar: 2.5 cycles from the song's start.
    auto [raw, position] = send(10.0);
    EXPECT_DOUBLE_EQ(raw, 0.5);
    EXPECT_NEAR(position, 0.625, 1e-6);

    xlfo.noteOn();
    EXPECT_DOUBLE_EQ(xlfo.triggerReference(), 10.0);
    render(rig.env, xlfo, 1000);
    // Six quarter notes after the note: one and a half bars, half a cycle.
    std::tie(raw, position) = send(16.0);
    EXPECT_DOUBLE_EQ(raw, 0.5);
    EXPECT_NEAR(position, 0.625, 1e-6);

    // A stopped host (same song position) leaves the XLFO running.
    render(rig.env, xlfo, 1000);
    const double running = xlfo.rawPhase();
    EXPECT_DOUBLE_EQ(send(16.0).first, running);

    // With a factor of 2 a cycle lasts half a bar: five quarter notes are 2.5 cycles.
    controller.defaultOffset().setTarget(2.0f, 0.0f);
    EXPECT_DOUBLE_EQ(send(15.0).first, 0.5);

    // Without MIDI trigger the reference is the song's start: 17 / 4 * 2 = 8.5 cycles.
    xlfo.midiTrigger = false;
    EXPECT_DOUBLE_EQ(send(17.0).first, 0.5);
}

TEST(XLFOFreqControllerTest, SynchronisedXLFOStaysInTimeWithTheHost) {
    // A host playing at 120 BPM sends its song position every block; the XLFO, running at the
    // synchronised rate in between, is already where the song position puts it.
    Rig rig;
    XLFO xlfo(rig.env);
    XLFOFreqController controller(rig.env, xlfo);
    controller.syncMode = kOneBar;
    controller.syncFrequency().setTarget(0.5f, 0.0f);
    double beats = 0.0;
    const double beatsPerBlock = 2.0 * kBlock / kRate;  // 2 beats per second
    double largestJump = 0.0;
    for (int block = 0; block < 2000; ++block) {
        const double before = xlfo.rawPhase();
        controller.setTransport(120.0f, beats);
        rig.env.beginChunk();
        controller.pull(kBlock, 0);
        if (block > 0) {
            double jump = std::fabs(xlfo.rawPhase() - before);
            largestJump = std::max(largestJump, std::min(jump, 1.0 - jump));
        }
        xlfo.pull(kBlock, 0);
        rig.env.finishChunk(kBlock, false);
        beats += beatsPerBlock;
    }
    EXPECT_LT(largestJump, 1e-6);
}

}  // namespace
