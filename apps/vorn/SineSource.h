#pragma once

#include <cmath>

#include "engine/wave/Producer.h"

// A plain sine tone for the test signal; the band-limited oscillators live in dsp/.
class SineSource : public wave::Source {
public:
    explicit SineSource(wave::Environment& env) : wave::Source(env) {}

    void setFrequency(double hz) { increment_ = hz / environment().sampleRate(); }

    bool produce(float* buffer, uint32_t frames, uint32_t flags) override {
        double phase = phase_;
        const double increment = increment_;
        if (!(flags & 1)) {
            for (uint32_t i = 0; i < frames; ++i) {
                buffer[i] = static_cast<float>(std::sin(2.0 * M_PI * phase));
                phase += increment;
                phase -= std::floor(phase);
            }
        } else {
            phase += increment * frames;
            phase -= std::floor(phase);
        }
        phase_ = phase;
        return false;
    }

    void reset() override { phase_ = 0.0; }

private:
    double phase_ = 0.0;
    double increment_ = 0.0;
};
