#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <vector>

#include "dsp/FourierTransform.h"
#include "dsp/Oscillator.h"
#include "tests/dsp/DspTestRig.h"

// Measurements of oscillator output against theory, shared by the tests and the spectrum report.
namespace oscillator_analysis {

// Pulls the oscillator chunk by chunk, as the graph does.
inline std::vector<float> render(Oscillator& osc, wave::Environment& env, size_t count,
                                 uint32_t chunk) {
    return dsptest::render(env, osc, count, chunk);
}

// Four-term Blackman-Harris window (side lobes below -92 dB).
inline double blackmanHarris(size_t n, size_t size) {
    const double x = 2.0 * std::numbers::pi * static_cast<double>(n) / static_cast<double>(size);
    return 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x);
}

// Windowed correlation of x[start .. start + length) with a complex exponential at f.
inline std::complex<double> correlate(const std::vector<float>& x, size_t start, size_t length,
                                      double f, double rate) {
    std::complex<double> sum;
    const double w = 2.0 * std::numbers::pi * f / rate;
    for (size_t n = 0; n < length; ++n) {
        const double a = -w * static_cast<double>(n);
        sum += blackmanHarris(n, length) * x[start + n] *
               std::complex<double>(std::cos(a), std::sin(a));
    }
    return sum;
}

// Frequency of the component near nominal, from the phase advance between two windows: first
// adjacent windows (coarse, unambiguous within nominal / 32), then windows far apart.
inline double measureFrequency(const std::vector<float>& x, double rate, double nominal) {
    const auto segment = static_cast<size_t>(std::max(4096.0, 16.0 * rate / nominal));
    double f = nominal;
    for (const size_t distance : {segment, x.size() - segment}) {
        const std::complex<double> a = correlate(x, 0, segment, f, rate);
        const std::complex<double> b = correlate(x, distance, segment, f, rate);
        const double expected = 2.0 * std::numbers::pi * f * static_cast<double>(distance) / rate;
        const double delta =
            std::remainder(std::arg(b) - std::arg(a) - expected, 2.0 * std::numbers::pi);
        f += delta * rate / (2.0 * std::numbers::pi * static_cast<double>(distance));
    }
    return f;
}

struct Spur {
    double level;      // dB relative to the fundamental
    double frequency;  // Hz
};

// The strongest spectral component that is not a harmonic of f0 (nor DC), from one windowed FFT
// of the last `size` samples of x.
inline Spur strongestNonHarmonic(const std::vector<float>& x, double rate, double f0,
                                 uint32_t size) {
    constexpr double kGuardBins = 8.0;  // beyond the window's main lobe (4 bins)
    const FourierTransform fft(size);
    std::vector<std::complex<double>> spectrum(size);
    const size_t start = x.size() - size;
    for (size_t n = 0; n < size; ++n) spectrum[n] = blackmanHarris(n, size) * x[start + n];
    fft.transform(spectrum.data(), size, false);
    const double binHz = rate / size;
    double fundamental = 0.0;
    Spur spur{-400.0, 0.0};
    double strongest = 0.0;
    for (uint32_t k = 0; k <= size / 2; ++k) {
        const double magnitude = std::abs(spectrum[k]);
        const double harmonic = std::round(k * binHz / f0);
        const double distance = std::fabs(k - harmonic * f0 / binHz);
        if (harmonic == 1.0 && distance <= kGuardBins)
            fundamental = std::max(fundamental, magnitude);
        if (distance <= kGuardBins) continue;
        if (magnitude > strongest) {
            strongest = magnitude;
            spur.frequency = k * binHz;
        }
    }
    spur.level = 20.0 * std::log10(std::max(strongest, 1e-30) / fundamental);
    return spur;
}

inline double midiPitch(int note) {
    return std::log2(440.0) + (note - 69) / 12.0;
}

}  // namespace oscillator_analysis
