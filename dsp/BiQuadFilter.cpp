#include "dsp/BiQuadFilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

BiQuadFilter::BiQuadFilter(wave::Environment& env) : FilterUnit(env) {}

void BiQuadFilter::reset() {
    for (State& s : state_) s = State{};
}

int BiQuadFilter::sectionCount() const {
    if (slope_ == GenericFilter::kSlope24) return 2;
    if (slope_ == GenericFilter::kSlope48) return kMaxSections;
    return 1;
}

BiQuadFilter::Coefficients BiQuadFilter::design(int response, float frequency, float peak,
                                                float rate) {
    constexpr double kPi = std::numbers::pi;
    constexpr double kSqrt2 = std::numbers::sqrt2;
    const double f =
        std::clamp(std::exp2(static_cast<double>(frequency)), static_cast<double>(kMinFrequency),
                   static_cast<double>(kMaxFrequencyRatio * rate));
    Coefficients k{};
    if (response == GenericFilter::kLowPass || response == GenericFilter::kHighPass) {
        double c = std::tan(kPi * f / rate);
        if (response == GenericFilter::kLowPass) c = 1.0 / c;
        const double damping = (kSqrt2 - (kSqrt2 - kMinDamping) * peak) * c;
        k.b0 = 1.0 / (damping + c * c + 1.0);
        k.b2 = k.b0;
        k.a2 = (1.0 - damping + c * c) * k.b0;
        if (response == GenericFilter::kLowPass) {
            k.b1 = 2.0 * k.b0;
            k.a1 = 2.0 * (1.0 - c * c) * k.b0;
        } else {
            k.b1 = -2.0 * k.b0;
            k.a1 = 2.0 * (c * c - 1.0) * k.b0;
        }
        return k;
    }
    const double width = (1.0 - kBandwidthNarrowing * peak) * f;
    const double c =
        1.0 / std::tan(std::min(kPi * width / rate, static_cast<double>(kMaxBandwidthAngle)));
    k.b0 = 1.0 / (c + 1.0);
    k.b1 = 0.0;
    k.b2 = -k.b0;
    k.a1 = -2.0 * std::cos(2.0 * kPi * f / rate) * c * k.b0;
    k.a2 = (c - 1.0) * k.b0;
    return k;
}

void BiQuadFilter::process(const float* input, float* output, const float* frequency,
                           const float* peak, const float* peakModulation, uint32_t count,
                           bool /*constant*/) {
    const float rate = env_->sampleRate();
    const int response =
        response_ == GenericFilter::kLowPass || response_ == GenericFilter::kHighPass
            ? response_
            : GenericFilter::kBandPass;
    if (output != input) std::memcpy(output, input, count * sizeof(float));

    uint32_t start = 0;
    while (start < count) {
        const float phi = frequency[start];
        float y = peak[start];
        if (peakModulation) y *= peakModulation[start];
        y = std::clamp(y, 0.0f, 1.0f);
        if (std::fabs(phi - designedFrequency_) > kChangeEpsilon ||
            std::fabs(y - designedPeak_) > kChangeEpsilon || response != designedResponse_ ||
            rate != designedRate_) {
            resonant_ = design(response, phi, y, rate);
            flat_ = design(response, phi, 0.0f, rate);
            designedFrequency_ = phi;
            designedPeak_ = y;
            designedResponse_ = response;
            designedRate_ = rate;
        }
        // The design holds until the next multiple of 32 or a cut-off move of 0.1 octave.
        uint32_t end = start + 1;
        while (end < count && end % kDesignInterval != 0 &&
               std::fabs(frequency[end] - designedFrequency_) <= kDesignMove) {
            ++end;
        }
        runSections(output + start, end - start);
        start = end;
    }
}

void BiQuadFilter::runSections(float* x, uint32_t n) {
    const int sections = sectionCount();
    for (int s = 0; s < sections; ++s) {
        const Coefficients k = s == 0 ? resonant_ : flat_;
        State st = state_[s];
        for (uint32_t i = 0; i < n; ++i) {
            const double in = x[i];
            double out = k.b0 * in + k.b1 * st.x1 + k.b2 * st.x2 - k.a1 * st.y1 - k.a2 * st.y2;
            out = std::fabs(out) < kFlushLevel ? 0.0 : out;
            st.x2 = st.x1;
            st.x1 = in;
            st.y2 = st.y1;
            st.y1 = out;
            x[i] = static_cast<float>(out);
        }
        state_[s] = st;
    }
}
