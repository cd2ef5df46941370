#pragma once

#include <cstdint>

#include "wave/FloatParameterSource.h"
#include "wave/Producer.h"

// Scales its input by a gain and by the ratio of a reference envelope to a measured envelope,
// limited to 0.1..1, so that a feedback path never grows louder than its reference.
class GainAdjuster : public wave::Filter {
public:
    static constexpr float kMinimumRatio = 0.1f;
    static constexpr float kMaximumRatio = 1.0f;
    static constexpr float kDefaultGain = 1.0f;

    explicit GainAdjuster(wave::Environment& env);

    wave::FloatParameterSource& gain() { return gain_; }
    // Without both envelopes the input passes unchanged.
    void setReferenceEnvelope(wave::Producer* p) { reference_ = p; }
    void setMeasuredEnvelope(wave::Producer* p) { measured_ = p; }

    bool filter(const float* inputBuffer, float* outputBuffer, uint32_t frames,
                uint32_t flags) override;

private:
    wave::FloatParameterSource gain_;
    wave::Producer* reference_ = nullptr;
    wave::Producer* measured_ = nullptr;
};
