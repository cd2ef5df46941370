#pragma once

#include <cstdint>
#include <vector>

#include "engine/wave/Producer.h"

namespace wave::test {

// Writes `values` (repeated when shorter than the chunk) and records how it was called.
class PatternSource : public Source {
public:
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
    int calls = 0;
    int resets = 0;
    uint32_t lastFlags = 0;
    uint32_t lastFrames = 0;
};

// Runs one chunk: beginChunk, the caller's pulls, finishChunk.
template <typename Pulls>
void runChunk(Environment& env, uint32_t frames, Pulls&& pulls) {
    env.beginChunk();
    pulls();
    env.finishChunk(frames, false);
}

}  // namespace wave::test
