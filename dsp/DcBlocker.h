#pragma once

#include <cstdint>

#include "wave/Producer.h"

// One-pole high-pass at a few hertz: removes the offset that the filters' asymmetric saturation
// leaves in the signal, as the coupling capacitor of an analogue output stage would.
class DcBlocker : public wave::Filter {
public:
    static constexpr float kCornerFrequency = 5.0f;  // Hz

    explicit DcBlocker(wave::Environment& env);
    ~DcBlocker() override;

    bool filter(const float* inputBuffer, float* outputBuffer, uint32_t frames,
                uint32_t flags) override;
    void reset() override;
    void sampleRateChanged(wave::Environment& env) override;

    float pole() const { return pole_; }

private:
    float pole_ = 0.0f;
    float lastInput_ = 0.0f;
    float lastOutput_ = 0.0f;
};
