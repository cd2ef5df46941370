// Cost of one XLFO (16 steps) per sample, with and without glides, pulled through its
// tempo-synchronised frequency controller in the last case.

#include <benchmark/benchmark.h>

#include "bench/support/BenchSupport.h"
#include "dsp/XLFO.h"
#include "dsp/XLFOFreqController.h"
#include "wave/Environment.h"

namespace {

constexpr uint32_t kBlock = 128;

enum class Setup { kHeld, kGliding, kRandomSynced };

void oneXLFO(benchmark::State& state, Setup setup) {
    wave::Environment env(kBlock);
    env.setSampleRate(48000.0f);
    XLFO xlfo(env, 1);
    XLFOFreqController controller(env, xlfo);
    for (int i = 0; i < XLFO::kMaxSteps; ++i) {
        xlfo.step(i).value = -0.9f + 0.1f * i;
        if (setup != Setup::kHeld) {
            xlfo.step(i).glide = 0.75f;
            xlfo.step(i).glideCurve = i % 4;
        }
        xlfo.step(i).random = setup == Setup::kRandomSynced;
    }
    if (setup == Setup::kRandomSynced) {
        // 1/4 bar per cycle at 240 BPM: 4 cycles per second.
        controller.syncMode = 7;
        controller.setTransport(240.0f, 0.0);
    } else {
        // The controller passes this free rate through.
        controller.defaultFreeFrequency().setTarget(4.0f, 0.0f);
    }
    double beats = 0.0;
    for (auto _ : state) {
        if (setup == Setup::kRandomSynced) {
            controller.setTransport(240.0f, beats);
            beats += 4.0 * kBlock / 48000.0;
        }
        env.beginChunk();
        benchmark::DoNotOptimize(xlfo.pull(kBlock, 0));
        env.finishChunk(kBlock, false);
    }
    bench::reportPerSample(state, kBlock);
}

}  // namespace

BENCHMARK_CAPTURE(oneXLFO, held, Setup::kHeld);
BENCHMARK_CAPTURE(oneXLFO, gliding, Setup::kGliding);
BENCHMARK_CAPTURE(oneXLFO, random_synced, Setup::kRandomSynced);
