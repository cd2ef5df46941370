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
    float x1 = lastInput_;
    float y1 = lastOutput_;
    for (uint32_t i = 0; i < frames; ++i) {
        const float x = inputBuffer[i];
        y1 = x - x1 + r * y1;
        x1 = x;
        outputBuffer[i] = y1;
    }
    lastInput_ = x1;
    lastOutput_ = y1;
    return false;
}
