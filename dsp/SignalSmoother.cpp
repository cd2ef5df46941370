#include "dsp/SignalSmoother.h"

#include <algorithm>
#include <cmath>
#include <numbers>

SignalSmoother::SignalSmoother(wave::Environment& env) : Filter(env) {
    updateCoefficient();
}

void SignalSmoother::propertyChanged(const void* property) {
    if (property == &frequency) updateCoefficient();
}

void SignalSmoother::updateCoefficient() {
    coefficientRate_ = environment().sampleRate();
    const float ratio = std::min(frequency.get() / coefficientRate_, 1.0f);
    coefficient_ = std::min(2.0f * std::sin(std::numbers::pi_v<float> * ratio), kMaxCoefficient);
}

void SignalSmoother::reset() {
    lp_ = 0.0f;
    bp_ = 0.0f;
}

bool SignalSmoother::filter(const float* inputBuffer, float* outputBuffer, uint32_t frames,
                            uint32_t flags) {
    if (flags & wave::Environment::kFlagAdvanceOnly) return isConstant();
    if (coefficientRate_ != environment().sampleRate()) updateCoefficient();
    const float* x = inputBuffer ? inputBuffer : environment().silentBuffer().data();
    const float f = coefficient_;
    float lp = lp_;
    float bp = bp_;
    if (rectify) {
        for (uint32_t i = 0; i < frames; ++i) {
            lp += f * bp;
            bp += f * (std::fabs(x[i]) - 2.0f * bp - lp);
            outputBuffer[i] = lp;
        }
    } else {
        for (uint32_t i = 0; i < frames; ++i) {
            lp += f * bp;
            bp += f * (x[i] - 2.0f * bp - lp);
            outputBuffer[i] = lp;
        }
    }
    lp_ = lp;
    bp_ = bp;
    return false;
}
