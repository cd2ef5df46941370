#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "dsp/XLFO.h"
#include "wave/Environment.h"

namespace xlfotest {

constexpr uint32_t kBlock = 64;
// With 2 cycles per second every sample advances the phase by exactly 2^-14: step edges fall
// on whole samples (a step of 1/16 cycle lasts 1024 samples).
constexpr float kRate = 32768.0f;
constexpr float kFrequency = 2.0f;
constexpr int kCycle = 16384;  // samples

struct Rig {
    wave::Environment env{kBlock};
    Rig() { env.setSampleRate(kRate); }
};

inline void setFrequency(XLFO& xlfo, float hz) {
    xlfo.defaultFrequency().setTarget(hz, 0.0f);
}

// A rig with one XLFO running at kFrequency.
struct Single : Rig {
    XLFO xlfo;
    explicit Single(uint32_t seed = 1) : xlfo(env, seed) { setFrequency(xlfo, kFrequency); }
};

// Renders count samples in chunks of kBlock, pulling every XLFO in `pulled` in every chunk.
// Returns their samples, then the output of every XLFO in `watched`, which nobody pulls.
inline std::vector<std::vector<float>> renderAll(wave::Environment& env,
                                                 const std::vector<XLFO*>& pulled, size_t count,
                                                 const std::vector<XLFO*>& watched = {}) {
    std::vector<std::vector<float>> out(pulled.size() + watched.size());
    for (auto& o : out) o.reserve(count);
    for (size_t done = 0; done < count; done += kBlock) {
        const auto n = static_cast<uint32_t>(std::min<size_t>(kBlock, count - done));
        env.beginChunk();
        for (size_t k = 0; k < pulled.size(); ++k) {
            const float* data = pulled[k]->pull(n, 0);
            out[k].insert(out[k].end(), data, data + n);
        }
        env.finishChunk(n, false);
        for (size_t k = 0; k < watched.size(); ++k) {
            const float* data = watched[k]->outputData();
            out[pulled.size() + k].insert(out[pulled.size() + k].end(), data, data + n);
        }
    }
    return out;
}

inline std::vector<float> render(wave::Environment& env, XLFO& xlfo, size_t count) {
    return std::move(renderAll(env, {&xlfo}, count)[0]);
}

// Fixed step values -0.9, -0.8, ... so that every step is told apart.
inline void setDistinctValues(XLFO& xlfo) {
    for (int i = 0; i < XLFO::kMaxSteps; ++i) xlfo.step(i).value = -0.9f + 0.1f * i;
}

inline void setAllRandom(XLFO& xlfo) {
    for (int i = 0; i < XLFO::kMaxSteps; ++i) xlfo.step(i).random = true;
}

}  // namespace xlfotest
