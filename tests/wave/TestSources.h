#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "wave/Producer.h"

namespace wave::test {

constexpr uint32_t kBlock = 32;

// Writes `values` (repeated when shorter than the chunk) and records how it was called.
struct PatternSource : Source {
    PatternSource(Environment& env, std::vector<float> values, bool reportConstant = false)
        : Source(env), values(std::move(values)), reportConstant(reportConstant) {}

    bool produce(float* buffer, uint32_t frames, uint32_t flags) override {
        ++calls;
        lastFlags = flags;
        lastFrames = frames;
        if (!(flags & Environment::kFlagAdvanceOnly)) {
            for (uint32_t i = 0; i < frames; ++i) buffer[i] = values[i % values.size()];
        }
        return reportConstant;
    }
    void reset() override { ++resets; }

    std::vector<float> values;
    bool reportConstant;
    int calls = 0, resets = 0;
    uint32_t lastFlags = 0, lastFrames = 0;
};

// Runs one chunk: beginChunk, the caller's pulls, finishChunk.
template <typename Pulls>
void runChunk(Environment& env, uint32_t frames, Pulls&& pulls) {
    env.beginChunk();
    pulls();
    env.finishChunk(frames, false);
}

// Pulls `p` in a chunk of its own.
inline const float* pullChunk(Environment& env, Producer& p, uint32_t frames = kBlock,
                              uint32_t flags = 0) {
    env.beginChunk();
    const float* out = p.pull(frames, flags);
    env.finishChunk(frames, false);
    return out;
}

// An Environment whose clock already runs (glides are timed from it), at `rate`.
inline void startClock(Environment& env, float rate, uint32_t frames) {
    env.setSampleRate(rate);
    env.beginChunk();
    env.finishChunk(frames, true);
}

// `out` repeats `pattern` over `frames` samples.
inline void expectPattern(const float* out, uint32_t frames, const std::vector<float>& pattern) {
    for (uint32_t i = 0; i < frames; ++i) {
        EXPECT_FLOAT_EQ(out[i], pattern[i % pattern.size()]) << "sample " << i;
    }
}

}  // namespace wave::test
