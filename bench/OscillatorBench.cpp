#include <benchmark/benchmark.h>

#include "dsp/Oscillator.h"
#include "dsp/OscillatorStyle.h"

namespace {

constexpr uint32_t kBlock = 128;

Oscillator::Style& benchStyle() {
    static Oscillator::Style* style = [] {
        auto* s = new Oscillator::Style();
        s->setTones(Oscillator::Style::kSynthesizerTones);
        s->computeTables();
        return s;
    }();
    return *style;
}

// Both wave-table sets: 2 x 128 rows of up to 999 harmonics.
void BM_OscillatorTableGeneration(benchmark::State& state) {
    Oscillator::Style style;
    style.setTones(Oscillator::Style::kSynthesizerTones);
    for (auto _ : state) {
        style.computeTables();
        benchmark::DoNotOptimize(style.sawTables()[1000]);
    }
}
BENCHMARK(BM_OscillatorTableGeneration)->Unit(benchmark::kMillisecond);

// One oscillator at MIDI note 60 pulled block by block; args: wave form, sync (octaves x 100),
// scalar path.
void BM_Oscillator(benchmark::State& state) {
    wave::Environment env(kBlock);
    env.setSampleRate(48000.0f);
    Oscillator osc(benchStyle(), env);
    osc.setWaveForm(static_cast<int>(state.range(0)));
    osc.defaultPitch().setTarget(8.0313714f, 0.0f);
    osc.defaultSync().setTarget(static_cast<float>(state.range(1)) / 100.0f, 0.0f);
    osc.setScalarPath(state.range(2) != 0);
    for (auto _ : state) {
        env.beginChunk();
        benchmark::DoNotOptimize(osc.pull(kBlock, 0));
        env.finishChunk(kBlock, false);
    }
    const double samples = static_cast<double>(state.iterations()) * kBlock;
    state.counters["per_sample"] =
        benchmark::Counter(samples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Oscillator)
    ->ArgNames({"wave", "sync", "scalar"})
    ->Args({Oscillator::kSawtooth, 0, 0})
    ->Args({Oscillator::kSawtooth, 0, 1})
    ->Args({Oscillator::kSawtooth, 50, 0})
    ->Args({Oscillator::kSquare, 0, 0})
    ->Args({Oscillator::kSquare, 50, 0})
    ->Args({Oscillator::kSine, 0, 0})
    ->Args({Oscillator::kPinkNoise, 0, 0});

}  // namespace
