// Cost of one four-lane filter unit (four member filters, "Quorvalis Prime" unless named) per block
// sample.

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "bench/support/BenchSupport.h"
#include "dsp/DesignFilter.h"
#include "dsp/MultiDesignFilter.h"
#include "wave/Environment.h"
#include "wave/Producer.h"

namespace {

constexpr uint32_t kBlock = 128;

// Lane k at `octave` + k octaves (+ k / 100 octaves with `close`), peak `peak`.
void fourLaneUnit(benchmark::State& state, int slope, bool sweep, int characteristic = 0,
                  float octave = 9.0f, float peak = 0.5f, bool close = false) {
    const MultiDesignFilter::StyleList& styles = bench::standardStyles();
    wave::Environment env(kBlock);
    env.setSampleRate(48000.0f);
    DesignFilter unit(env);
    std::vector<std::unique_ptr<bench::NoiseSource>> sources;
    std::vector<std::unique_ptr<MultiDesignFilter>> filters;
    for (uint32_t k = 0; k < 4; ++k) {
        sources.push_back(std::make_unique<bench::NoiseSource>(env, k + 1));
        filters.push_back(std::make_unique<MultiDesignFilter>(env));
        MultiDesignFilter& f = *filters.back();
        f.setInput(sources.back().get());
        f.addEntries(unit, styles);
        f.setCharacteristic(characteristic);
        f.setSlope(slope);
        f.defaultFrequency().setTarget(octave + static_cast<float>(k) * (close ? 0.01f : 1.0f),
                                       0.0f);
        f.defaultPeak().setTarget(peak, 0.0f);
    }
    int chunk = 0;
    for (auto _ : state) {
        if (sweep && chunk % 16 == 0) {
            // A slow sweep keeps the controls gliding: the unit makes a control point every
            // 32 samples instead of one per block.
            const float target = (chunk / 16) % 2 ? 6.0f : 13.0f;
            for (auto& f : filters) f->defaultFrequency().setTarget(target, 40.0f);
        }
        ++chunk;
        env.beginChunk();
        benchmark::DoNotOptimize(filters[0]->pull(kBlock, 0));
        env.finishChunk(kBlock, false);
    }
    // One item is one sample of all four lanes.
    bench::reportPerSample(state, kBlock);
}

}  // namespace

BENCHMARK_CAPTURE(fourLaneUnit, 12dB, GenericFilter::kSlope12, false);
BENCHMARK_CAPTURE(fourLaneUnit, 24dB, GenericFilter::kSlope24, false);
BENCHMARK_CAPTURE(fourLaneUnit, 48dB, GenericFilter::kSlope48, false);
BENCHMARK_CAPTURE(fourLaneUnit, 12dB_sweep, GenericFilter::kSlope12, true);
BENCHMARK_CAPTURE(fourLaneUnit, 48dB_sweep, GenericFilter::kSlope48, true);
// "Default Sound"'s first filter: "Gentle", 3 kHz, peak 0.15 (weakly driven), two voices' lanes.
BENCHMARK_CAPTURE(fourLaneUnit, 12dB_gentle, GenericFilter::kSlope12, false, 1, 11.55f, 0.15f,
                  true);
