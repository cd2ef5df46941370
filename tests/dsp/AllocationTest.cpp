#include <gtest/gtest.h>

#include "dsp/DelayEffectUnit.h"
#include "dsp/DelayLine.h"
#include "dsp/EnvelopeGenerator.h"
#include "dsp/Trigger.h"
#include "dsp/XLFO.h"
#include "dsp/XLFOFreqController.h"
#include "tests/dsp/DspTestRig.h"
#include "tests/dsp/FilterTestRig.h"
#include "tests/support/AllocationCounter.h"

// The real-time suite plays the whole synthesizer with random parameters and notes; these are the
// paths it does not reach: side-chain gating, host tempo and song position, the crossfading line.
TEST(AllocationTest, SideChainTransportAndCrossfadeNeverAllocate) {
    wave::Environment env(dsptest::kBlock);
    env.setSampleRate(48000.0f);
    dsptest::Playback sideChain(env, [](size_t n) { return (n / 1500) % 2 ? 1.0f : 0.0f; });
    dsptest::Playback tone(env, dsptest::sineOf(440.0, 0.5, 48000.0));
    Trigger trigger(env);
    trigger.setInput(&sideChain);
    EnvelopeGenerator gated(env);
    gated.setTrigger(&trigger);
    XLFO xlfo(env, 5);
    XLFOFreqController controller(env, xlfo);
    for (int i = 0; i < XLFO::kMaxSteps; ++i) {
        xlfo.step(i).random = i % 2 == 0;
        xlfo.step(i).glide = 0.5f;
    }
    DelayLine line(env, 5000.0f, DelayLine::Order::kReadBeforeWrite);
    line.setInput(&tone);
    line.setCrossfade(true);
    DelayEffectUnit unit(env, filtertest::styles());
    unit.setInput(0, &tone);
    unit.setInput(1, &tone);
    unit.enabled = true;
    unit.channel(0).sync = DelayTimeController::kEighthNote;
    wave::Producer* const pulled[] = {&gated, &xlfo, &line, &unit.output(0), &unit.output(1)};
    const auto run = [&](int chunks) {
        for (int chunk = 0; chunk < chunks; ++chunk) {
            if (chunk == 50) controller.syncMode = 3;
            if (chunk == 150) xlfo.midiTrigger = true;
            if (chunk % 50 == 0) xlfo.noteOn();
            if (chunk % 10 == 0) controller.setTransport(100.0f + chunk, chunk * 0.05);
            if (chunk % 20 == 0) unit.setTempo(90.0f + chunk);
            if (chunk % 30 == 0) line.defaultTime().setTarget(10.0f + chunk);
            env.beginChunk();
            for (wave::Producer* p : pulled) p->pull(dsptest::kBlock, 0);
            env.finishChunk(dsptest::kBlock, false);
        }
    };
    run(10);
    AllocationGuard guard;
    run(400);
    EXPECT_EQ(guard.allocations(), 0u);
}
