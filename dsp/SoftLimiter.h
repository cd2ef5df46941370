#pragma once

#include <cstdint>

#include "wave/Producer.h"

// Passes a signal unchanged up to a threshold and bends it smoothly towards a ceiling above:
// a loop with more than unity gain (a delay's feedback turned past 100 %) then saturates
// instead of growing without bound.
class SoftLimiter : public wave::Filter {
public:
    static constexpr float kDefaultThreshold = 1.0f;
    static constexpr float kDefaultCeiling = 2.0f;

    explicit SoftLimiter(wave::Environment& env, float threshold = kDefaultThreshold,
                         float ceiling = kDefaultCeiling);

    static float shape(float x, float threshold, float ceiling);

    bool filter(const float* inputBuffer, float* outputBuffer, uint32_t frames,
                uint32_t flags) override;

private:
    float threshold_;
    float ceiling_;
};
