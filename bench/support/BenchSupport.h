#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

#include "dsp/MultiDesignFilter.h"
#include "persistence/ResourceOpener.h"
#include "wave/Environment.h"
#include "wave/Producer.h"

// Pieces the DSP benchmarks share.
namespace bench {

// Cheap deterministic noise, so the measured unit never sees a constant input.
class NoiseSource : public wave::Source {
public:
    NoiseSource(wave::Environment& env, uint32_t seed, float gain = 1.0f)
        : wave::Source(env), x_(seed), gain_(gain) {}
    bool produce(float* buffer, uint32_t frames, uint32_t /*flags*/) override {
        for (uint32_t i = 0; i < frames; ++i) {
            x_ = x_ * 1664525u + 1013904223u;
            buffer[i] = gain_ * (static_cast<float>(x_) * (1.0f / 2147483648.0f) - 1.0f);
        }
        return false;
    }

private:
    uint32_t x_;
    float gain_;
};

// The ten characteristic files, loaded once per benchmark binary.
inline const MultiDesignFilter::StyleList& standardStyles() {
    static const MultiDesignFilter::StyleList styles = [] {
        MultiDesignFilter::StyleList l;
        l.addStandard(openResource);
        return l;
    }();
    return styles;
}

// Reports items and nanoseconds per sample for `samplesPerIteration` samples each iteration.
inline void reportPerSample(benchmark::State& state, int64_t samplesPerIteration) {
    state.SetItemsProcessed(state.iterations() * samplesPerIteration);
    state.counters["ns/sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * samplesPerIteration,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace bench
