#pragma once

#include <cstdint>

#include "framework/Property.h"
#include "wave/Producer.h"

// Critically damped two-pole low-pass that smooths a signal, or its magnitude, into an envelope.
class SignalSmoother : public wave::Filter, public PropertyOwner {
public:
    static constexpr float kDefaultFrequency = 5.0f;  // Hz
    static constexpr float kMaxCoefficient = 0.95f;

    explicit SignalSmoother(wave::Environment& env);

    bool filter(const float* inputBuffer, float* outputBuffer, uint32_t frames,
                uint32_t flags) override;
    void reset() override;
    void propertyChanged(const void* property) override;

    // F = min(2 sin(pi min(f / rate, 1)), 0.95).
    float coefficient() const { return coefficient_; }

    Property<float> frequency{this, kDefaultFrequency};
    // On: the magnitude of the input is smoothed.
    Property<bool> rectify{this, false};

private:
    void updateCoefficient();

    float coefficient_ = 0.0f;
    float coefficientRate_ = 0.0f;  // sample rate the coefficient was computed for
    float lp_ = 0.0f;
    float bp_ = 0.0f;
};
