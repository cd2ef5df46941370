#include "dsp/DcBlocker.h"

#include <cmath>
#include <numbers>

DcBlocker::DcBlocker(wave::Environment& env) : wave::Filter(env) {
    env.addRateListener(this);
    env.registerReset(this);
    sampleRateChanged(env);
}

DcBlocker::~DcBlocker() {
    environment().removeRateListener(this);
}

void DcBlocker::sampleRateChanged(wave::Environment& env) {
    pole_ = std::exp(-2.0f * std::numbers::pi_v<float> * kCornerFrequency / env.sampleRate());
}

void DcBlocker::reset() {
    lastInput_ = 0.0f;
    lastOutput_ = 0.0f;
}

bool DcBlocker::filter(const float* inputBuffer, float* outputBuffer, uint32_t frames,
                       uint32_t flags) {
    if (!inputBuffer || (flags & wave::Environment::kFlagAdvanceOnly)) {
        setOutput(environment().silentBuffer().data());
        reset();
        return true;
    }
    // Drained, with silence coming in: the output is silence, without computing it.
    if (inputBuffer == environment().silentBuffer().data() && lastInput_ == 0.0f &&
        lastOutput_ == 0.0f) {
        setOutput(inputBuffer);
        return true;
    }
    const float r = pole_;
    const float r2 = r * r;
    const float r3 = r2 * r;
    const float r4 = r2 * r2;
    const float* x = inputBuffer;
    float* y = outputBuffer;
    float x1 = lastInput_;
    float y1 = lastOutput_;
    uint32_t i = 0;
    // Four samples per step, each reaching back to the output before the step: the recursion's
    // chain is a quarter as long; the differences' own chain depends on the input alone.
    for (; i + 4 <= frames; i += 4) {
        const float u0 = x[i] - x1;
        const float v1 = (x[i + 1] - x[i]) + r * u0;
        const float v2 = (x[i + 2] - x[i + 1]) + r * v1;
        const float v3 = (x[i + 3] - x[i + 2]) + r * v2;
        y[i] = u0 + r * y1;
        y[i + 1] = v1 + r2 * y1;
        y[i + 2] = v2 + r3 * y1;
        y1 = v3 + r4 * y1;
        y[i + 3] = y1;
        x1 = x[i + 3];
    }
    for (; i < frames; ++i) {
        y1 = x[i] - x1 + r * y1;
        x1 = x[i];
        y[i] = y1;
    }
    lastInput_ = x1;
    lastOutput_ = y1;
    return false;
}
