#include "dsp/SoftLimiter.h"

#include <cmath>

SoftLimiter::SoftLimiter(wave::Environment& env, float threshold, float ceiling)
    : wave::Filter(env), threshold_(threshold), ceiling_(ceiling) {}

float SoftLimiter::shape(float x, float threshold, float ceiling) {
    const float magnitude = std::fabs(x);
    if (magnitude <= threshold) return x;
    // tanh keeps slope 1 at the threshold and never reaches the ceiling; NaN becomes 0.
    const float room = ceiling - threshold;
    const float bent = magnitude < HUGE_VALF
                           ? threshold + room * std::tanh((magnitude - threshold) / room)
                           : ceiling;
    return std::copysign(bent, x);
}

bool SoftLimiter::filter(const float* inputBuffer, float* outputBuffer, uint32_t frames,
                         uint32_t /*flags*/) {
    if (!inputBuffer) {
        setOutput(environment().silentBuffer().data());
        return true;
    }
    const float threshold = threshold_;
    bool over = false;
    for (uint32_t i = 0; i < frames; ++i) over |= !(std::fabs(inputBuffer[i]) <= threshold);
    // The common case copies nothing: the input is handed on.
    if (!over) {
        setOutput(inputBuffer);
        return input()->isConstant();
    }
    for (uint32_t i = 0; i < frames; ++i) {
        const float x = inputBuffer[i];
        outputBuffer[i] = x == x ? shape(x, threshold, ceiling_) : 0.0f;
    }
    return false;
}
