// Cost of the whole stereo delay per sample (both sides, both delay filters on), with the time
// held (block copies) and with the time moving (interpolated reads).

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "dsp/DelayEffectUnit.h"
#include "engine/wave/Environment.h"
#include "engine/wave/Producer.h"

namespace {

constexpr uint32_t kBlock = 128;

class NoiseSource : public wave::Source {
public:
    NoiseSource(wave::Environment& env, uint32_t seed) : wave::Source(env), x_(seed) {}
    bool produce(float* buffer, uint32_t frames, uint32_t /*flags*/) override {
        for (uint32_t i = 0; i < frames; ++i) {
            x_ = x_ * 1664525u + 1013904223u;
            buffer[i] = 0.5f * (static_cast<float>(x_) * (1.0f / 2147483648.0f) - 1.0f);
        }
        return false;
    }

private:
    uint32_t x_;
};

void delayUnit(benchmark::State& state, int characteristic, bool moving) {
    static const MultiDesignFilter::StyleList styles = [] {
        MultiDesignFilter::StyleList l;
        l.addStandard();
        return l;
    }();
    wave::Environment env(kBlock);
    env.setSampleRate(48000.0f);
    NoiseSource left(env, 1);
    NoiseSource right(env, 2);
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
