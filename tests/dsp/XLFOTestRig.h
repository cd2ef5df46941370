#pragma once

#include <cstdint>
#include <vector>

#include "dsp/XLFO.h"
#include "tests/dsp/DspTestRig.h"

namespace xlfotest {

using dsptest::kBlock;
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
    std::vector<float> run(size_t count) { return dsptest::render(env, xlfo, count); }
};

// Fixed step values -0.9, -0.8, ... so that every step is told apart.
inline void setDistinctValues(XLFO& xlfo) {
    for (int i = 0; i < XLFO::kMaxSteps; ++i) xlfo.step(i).value = -0.9f + 0.1f * i;
}

inline void setAllRandom(XLFO& xlfo) {
    for (int i = 0; i < XLFO::kMaxSteps; ++i) xlfo.step(i).random = true;
}

}  // namespace xlfotest
