#pragma once

#include <cstdint>
#include <vector>

#include "dsp/XLFO.h"
#include "engine/wave/Environment.h"

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

// Renders count samples in chunks of kBlock, pulling every given XLFO in every chunk and
// returning the first one's samples.
inline std::vector<float> render(wave::Environment& env, std::vector<XLFO*> xlfos, size_t count) {
    std::vector<float> out;
    out.reserve(count);
    while (out.size() < count) {
        const auto n = static_cast<uint32_t>(std::min<size_t>(kBlock, count - out.size()));
        env.beginChunk();
        const float* data = xlfos.front()->pull(n, 0);
        for (size_t k = 1; k < xlfos.size(); ++k) xlfos[k]->pull(n, 0);
        out.insert(out.end(), data, data + n);
        env.finishChunk(n, false);
    }
    return out;
}

inline std::vector<float> render(wave::Environment& env, XLFO& xlfo, size_t count) {
    return render(env, std::vector<XLFO*>{&xlfo}, count);
}

// Fixed step values -0.9, -0.8, ... so that every step is told apart.
inline void setDistinctValues(XLFO& xlfo) {
    for (int i = 0; i < XLFO::kMaxSteps; ++i) xlfo.step(i).value = -0.9f + 0.1f * i;
}

inline void setFrequency(XLFO& xlfo, float hz) {
    xlfo.defaultFrequency().setTarget(hz, 0.0f);
}

}  // namespace xlfotest
