// Cost of the whole stereo delay per sample (both sides, both delay filters on), with the time
// held (block copies) and with the time moving (interpolated reads).

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "bench/support/BenchSupport.h"
#include "dsp/DelayEffectUnit.h"
#include "wave/Environment.h"
#include "wave/Producer.h"

namespace {

constexpr uint32_t kBlock = 128;

void delayUnit(benchmark::State& state, int characteristic, bool moving) {
    const MultiDesignFilter::StyleList& styles = bench::standardStyles();
    wave::Environment env(kBlock);
    env.setSampleRate(48000.0f);
    bench::NoiseSource left(env, 1, 0.5f);
    bench::NoiseSource right(env, 2, 0.5f);
    DelayEffectUnit unit(env, styles);
    unit.setInput(0, &left);
    unit.setInput(1, &right);
    unit.enabled = true;
    for (int k = 0; k < DelayEffectUnit::kFilters; ++k) {
        DelayEffectUnit::FilterSettings& f = unit.filterSettings(k);
        f.characteristic = characteristic;
        f.frequency().setTarget(std::log2(2000.0f));
        f.peak().setTarget(0.5f);
    }
    unit.channel(1).time().setTarget(500.0f);
    unit.channel(0).crossFeedback().setTarget(0.3f);
    env.reset();
    uint64_t chunks = 0;
    for (auto _ : state) {
        // A slow wobble keeps the smoother moving, so every sample is interpolated.
        if (moving && chunks % 64 == 0) {
            unit.channel(0).time().setTarget((chunks / 64) % 2 ? 340.0f : 360.0f, 0.0f);
        }
        env.beginChunk();
        benchmark::DoNotOptimize(unit.output(0).pull(kBlock, 0));
        benchmark::DoNotOptimize(unit.output(1).pull(kBlock, 0));
        env.finishChunk(kBlock, false);
        ++chunks;
    }
    // Per sample of the stereo output (one left and one right sample).
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kBlock);
}

void BM_DelayUnitGentle(benchmark::State& state) {
    delayUnit(state, 1, false);
}
void BM_DelayUnitGentleMovingTime(benchmark::State& state) {
    delayUnit(state, 1, true);
}
void BM_DelayUnitClean(benchmark::State& state) {
    delayUnit(state, MultiDesignFilter::kCleanIndex, false);
}

BENCHMARK(BM_DelayUnitGentle);
BENCHMARK(BM_DelayUnitGentleMovingTime);
BENCHMARK(BM_DelayUnitClean);

}  // namespace
