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
    const double g = std::tan(kPi * f / rate);
    Coefficients k{};
    double damping = 0.0;
    if (response == GenericFilter::kLowPass || response == GenericFilter::kHighPass) {
        damping = kSqrt2 - (kSqrt2 - kMinDamping) * peak;
        k.mix0 = response == GenericFilter::kHighPass ? 1.0 : 0.0;
        k.mix1 = response == GenericFilter::kHighPass ? -damping : 0.0;
        k.mix2 = response == GenericFilter::kHighPass ? -1.0 : 1.0;
    } else {
        // Bilinear band-pass, unity at the centre; the bandwidth sets the damping.
        const double width = (1.0 - kBandwidthNarrowing * peak) * f;
        const double t =
            std::tan(std::min(kPi * width / rate, static_cast<double>(kMaxBandwidthAngle)));
        damping = t * (1.0 + g * g) / g;
        k.mix1 = damping;
    }
    k.a1 = 1.0 / (1.0 + g * (g + damping));
    k.a2 = g * k.a1;
    k.a3 = g * k.a2;
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
            const double v3 = in - st.low;
            const double band = k.a1 * st.band + k.a2 * v3;
            const double low = st.low + k.a2 * st.band + k.a3 * v3;
            st.band = 2.0 * band - st.band;
            st.low = 2.0 * low - st.low;
            st.band = std::fabs(st.band) < kFlushLevel ? 0.0 : st.band;
            st.low = std::fabs(st.low) < kFlushLevel ? 0.0 : st.low;
            const double out = k.mix0 * in + k.mix1 * band + k.mix2 * low;
            x[i] = static_cast<float>(std::fabs(out) < kFlushLevel ? 0.0 : out);
        }
        state_[s] = st;
    }
}
