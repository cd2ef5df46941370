#include <gtest/gtest.h>

#include <optional>

#include "dsp/DelayEffectUnit.h"
#include "dsp/EnvelopeGenerator.h"
#include "dsp/Trigger.h"
#include "dsp/XLFO.h"
#include "dsp/XLFOFreqController.h"
#include "tests/dsp/DspTestRig.h"
#include "tests/dsp/FilterTestRig.h"
#include "tests/support/AllocationCounter.h"

// The real-time suite plays the whole synthesizer with random parameters and notes; these are the
// paths it does not reach: side-chain gating and the host's tempo and song position.
TEST(AllocationTest, SideChainAndTransportNeverAllocate) {
    dsptest::Env env(48000.0f);
    dsptest::Playback sideChain(env, [](size_t n) { return (n / 1500) % 2 ? 1.0f : 0.0f; });
    Trigger trigger(env);
    trigger.setInput(&sideChain);
    EnvelopeGenerator gated(env);
    gated.setTrigger(&trigger);
    XLFO xlfo(env, 5);
    XLFOFreqController controller(env, xlfo);
    xlfo.step(1).random = true;
    DelayEffectUnit unit(env, filtertest::standardStyles());
    unit.setInput(0, &sideChain);
    unit.enabled = true;
    unit.channel(0).sync = DelayTimeController::kEighthNote;
    wave::Producer* const pulled[] = {&gated, &xlfo, &unit.output(0), &unit.output(1)};
    for (int chunk = 0; chunk < 410; ++chunk) {
        std::optional<AllocationGuard> guard;
        if (chunk >= 10) guard.emplace();
        if (chunk == 50) controller.syncMode = 3;
        if (chunk == 150) xlfo.midiTrigger = true;
        if (chunk % 50 == 0) xlfo.noteOn();
        if (chunk % 10 == 0) controller.setTransport(100.0f + chunk, chunk * 0.05);
        if (chunk % 20 == 0) unit.setTempo(90.0f + chunk);
        env.beginChunk();
        for (wave::Producer* p : pulled) p->pull(dsptest::kBlock, 0);
        env.finishChunk(dsptest::kBlock, false);
        ASSERT_EQ(guard ? guard->allocations() : 0u, 0u) << chunk;
    }
}
