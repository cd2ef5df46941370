#pragma once

#include <cstdint>

#include "dsp/GenericFilter.h"

// The "Clean" kernel: up to four bilinear two-pole sections in series (12, 24 or 48 dB per
// octave), without saturation or input gain. Only the first section takes the peak; the others
// stay Butterworth, since resonant sections in series would multiply the peak (50^4 at peak 1).
// Each section is a trapezoidal state-variable filter rather than a direct-form biquad: the same
// transfer function, but its states are the two integrators' charges, whose energy a coefficient
// jump (automation every 32 samples) cannot raise. A direct form turned jumps between high and
// low cut-offs into growth without bound.
class BiQuadFilter : public GenericFilter::FilterUnit {
public:
    static constexpr int kMaxSections = 4;
    static constexpr uint32_t kDesignInterval = 32;  // samples
    static constexpr float kDesignMove = 0.1f;       // octaves
    static constexpr float kChangeEpsilon = 1.1920929e-7f;
    static constexpr float kMinFrequency = 1.0f;        // Hz
    static constexpr float kMaxFrequencyRatio = 0.49f;  // of the sample rate
    static constexpr float kMinDamping = 0.02f;         // low- and high-pass damping at peak 1
    static constexpr float kBandwidthNarrowing = 0.5f;  // band-pass width shrinks with the peak
    static constexpr float kMaxBandwidthAngle = 1.0f;   // radians
    // Smaller magnitudes are flushed to zero so that decaying tails never become denormal.
    static constexpr float kFlushLevel = 1e-20f;

    // g = tan(pi f / rate) and damping k give the section's update gains a1..a3; the output is
    // mix0 * input + mix1 * band + mix2 * low. Double precision keeps the poles near 1 Hz, within
    // 1e-4 of the unit circle, where they belong.
    struct Coefficients {
        double a1, a2, a3, mix0, mix1, mix2;
    };

    explicit BiQuadFilter(wave::Environment& env);

    void process(const float* input, float* output, const float* frequency, const float* peak,
                 const float* peakModulation, uint32_t count, bool constant) override;
    bool acceptsSlope(int code) const override { return code >= 1 && code <= 3; }
    void reset() override;

    // frequency in octaves above 1 Hz, peak 0..1.
    static Coefficients design(int response, float frequency, float peak, float rate);
    // Slope code 2: two sections, 3: four, anything else: one.
    int sectionCount() const;

private:
    // Trapezoidal integrator states of the band and low outputs.
    struct State {
        double band, low;
    };

    void runSections(float* x, uint32_t n);

    Coefficients resonant_{};  // the first section
    Coefficients flat_{};      // the others, at peak 0
    float designedFrequency_ = -1.0f;
    float designedPeak_ = 0.0f;
    int designedResponse_ = -1;
    float designedRate_ = 0.0f;
    State state_[kMaxSections] = {};
};
