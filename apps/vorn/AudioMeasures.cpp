#include "apps/vorn/AudioMeasures.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "dsp/FourierTransform.h"

namespace measure {
namespace {

constexpr double kSilenceDb = -200;
constexpr uint32_t kWindow = 2048;
constexpr uint32_t kHop = 1024;
constexpr float kFloorDb = 80;

double toDb(double power) {
    return power > 0 ? 10 * std::log10(power) : kSilenceDb;
}

// A second-order Butterworth low-pass, run over the whole signal.
std::vector<double> lowPass(const std::vector<double>& x, double cutoff, double rate) {
    const double w = 2 * std::numbers::pi * cutoff / rate, alpha = std::sin(w) / std::sqrt(2.0);
    const double a0 = 1 + alpha, c = std::cos(w);
    const double b0 = (1 - c) / 2 / a0, b1 = (1 - c) / a0, a1 = -2 * c / a0, a2 = (1 - alpha) / a0;
    std::vector<double> y(x.size());
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        y[i] = b0 * x[i] + b1 * x1 + b0 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x[i];
        y2 = y1;
        y1 = y[i];
    }
    return y;
}

}  // namespace

Loudness loudness(const std::vector<float>& left, const std::vector<float>& right, double rate) {
    Loudness result;
    ebur128_state* state =
        ebur128_init(2, static_cast<unsigned long>(rate), EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    if (!state) return result;
    std::vector<float> interleaved(2 * left.size());
    for (size_t i = 0; i < left.size(); ++i) {
        interleaved[2 * i] = left[i];
        interleaved[2 * i + 1] = right[i];
    }
    ebur128_add_frames_float(state, interleaved.data(), left.size());
    double lufs = 0, peak = 0, channelPeak = 0;
    if (ebur128_loudness_global(state, &lufs) == EBUR128_SUCCESS && std::isfinite(lufs))
        result.lufs = lufs;
    for (unsigned channel = 0; channel < 2; ++channel) {
        if (ebur128_true_peak(state, channel, &channelPeak) == EBUR128_SUCCESS)
            peak = std::max(peak, channelPeak);
    }
    result.truePeakDb = peak > 0 ? 20 * std::log10(peak) : kSilenceDb;
    ebur128_destroy(&state);
    return result;
}

double monoLossDb(const std::vector<float>& left, const std::vector<float>& right) {
    double both = 0, sum = 0;
    for (size_t i = 0; i < left.size(); ++i) {
        both += 0.5 * (double(left[i]) * left[i] + double(right[i]) * right[i]);
        const double m = 0.5 * (double(left[i]) + right[i]);
        sum += m * m;
    }
    return both > 0 ? toDb(sum) - toDb(both) : 0;
}

double lowSideDb(const std::vector<float>& left, const std::vector<float>& right, double rate) {
    std::vector<double> mid(left.size()), side(left.size());
    for (size_t i = 0; i < left.size(); ++i) {
        mid[i] = 0.5 * (double(left[i]) + right[i]);
        side[i] = 0.5 * (double(left[i]) - right[i]);
    }
    constexpr double kLowEnd = 150;
    double m = 0, s = 0;
    for (double v : lowPass(mid, kLowEnd, rate)) m += v * v;
    for (double v : lowPass(side, kLowEnd, rate)) s += v * v;
    return m > 0 ? toDb(s) - toDb(m) : kSilenceDb;
}

double pitchHz(const std::vector<float>& mono, double rate, size_t first) {
    constexpr size_t kLength = 4096;
    if (first + kLength > mono.size()) return 0;
    const float* x = mono.data() + first;
    const auto shortest = static_cast<size_t>(rate / 4000),
               longest = static_cast<size_t>(rate / 25);
    std::vector<double> nsdf(longest + 2, 0.0);
    for (size_t lag = shortest; lag <= longest + 1; ++lag) {
        double product = 0, energy = 0;
        for (size_t i = 0; i + lag < kLength; ++i) {
            product += double(x[i]) * x[i + lag];
            energy += double(x[i]) * x[i] + double(x[i + lag]) * x[i + lag];
        }
        nsdf[lag] = energy > 0 ? 2 * product / energy : 0;
    }
    const double best = *std::max_element(nsdf.begin(), nsdf.end());
    if (best < 0.6) return 0;
    // The first peak close to the best is the period; the later ones are its multiples.
    for (size_t lag = shortest + 1; lag <= longest; ++lag) {
        if (nsdf[lag] < 0.9 * best || nsdf[lag] < nsdf[lag - 1] || nsdf[lag] < nsdf[lag + 1])
            continue;
        const double a = nsdf[lag - 1], b = nsdf[lag], c = nsdf[lag + 1];
        const double d = a - 2 * b + c, shift = d != 0 ? 0.5 * (a - c) / d : 0;
        return rate / (double(lag) + shift);
    }
    return 0;
}

size_t loudestWindow(const std::vector<float>& mono, size_t first) {
    constexpr size_t kLength = 4096, kStep = 1024;
    size_t best = first;
    double most = -1;
    for (size_t start = first; start + kLength <= mono.size(); start += kStep) {
        double energy = 0;
        for (size_t i = start; i < start + kLength; ++i) energy += double(mono[i]) * mono[i];
        if (energy > most) {
            most = energy;
            best = start;
        }
    }
    return best;
}

double peakDb(const std::vector<float>& left, const std::vector<float>& right) {
    float peak = 0;
    for (const auto* side : {&left, &right})
        for (float v : *side) peak = std::max(peak, std::fabs(v));
    return peak > 0 ? 20 * std::log10(peak) : kSilenceDb;
}

std::vector<float> spectrogram(const std::vector<float>& mono) {
    static const FourierTransform fft(kWindow);
    std::vector<float> out;
    std::vector<std::complex<double>> frame(kWindow);
    for (size_t start = 0; start + kWindow <= mono.size(); start += kHop) {
        for (uint32_t n = 0; n < kWindow; ++n) {
            const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * n / kWindow);
            frame[n] = hann * mono[start + n];
        }
        fft.transform(frame.data(), kWindow, false);
        for (uint32_t k = 0; k < kWindow / 2; ++k)
            out.push_back(static_cast<float>(toDb(std::norm(frame[k]))));
    }
    if (out.empty()) return out;
    const float floor = *std::max_element(out.begin(), out.end()) - kFloorDb;
    for (float& v : out) v = std::max(v, floor);
    return out;
}

double correlation(const std::vector<float>& a, const std::vector<float>& b) {
    const size_t n = std::min(a.size(), b.size());
    if (n == 0) return 0;
    double ma = 0, mb = 0;
    for (size_t i = 0; i < n; ++i) {
        ma += a[i];
        mb += b[i];
    }
    ma /= double(n);
    mb /= double(n);
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < n; ++i) {
        ab += (a[i] - ma) * (b[i] - mb);
        aa += (a[i] - ma) * (a[i] - ma);
        bb += (b[i] - mb) * (b[i] - mb);
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

double spectralDistanceDb(const std::vector<float>& a, const std::vector<float>& b) {
    const size_t n = std::min(a.size(), b.size());
    double sum = 0;
    for (size_t i = 0; i < n; ++i) sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    return n ? std::sqrt(sum / double(n)) : 0;
}

std::vector<float> mono(const std::vector<float>& left, const std::vector<float>& right) {
    std::vector<float> m(left.size());
    for (size_t i = 0; i < m.size(); ++i) m[i] = 0.5f * (left[i] + right[i]);
    return m;
}

}  // namespace measure
