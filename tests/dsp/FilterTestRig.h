#pragma once

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <vector>

#include "dsp/GenericFilter.h"
#include "wave/Environment.h"
#include "wave/Producer.h"

namespace filtertest {

constexpr uint32_t kBlock = 64;

// Plays a prepared signal into a filter graph, one chunk at a time.
class SignalSource : public wave::Source {
public:
    explicit SignalSource(wave::Environment& env) : wave::Source(env) {}

    void play(const std::vector<float>& signal) {
        signal_ = &signal;
        position_ = 0;
    }
    bool produce(float* buffer, uint32_t frames, uint32_t /*flags*/) override {
        for (uint32_t i = 0; i < frames; ++i, ++position_) {
            buffer[i] = position_ < signal_->size() ? (*signal_)[position_] : 0.0f;
        }
        return false;
    }

private:
    const std::vector<float>* signal_ = nullptr;
    size_t position_ = 0;
};

// Runs chunks and collects the outputs of the given filters.
inline std::vector<std::vector<float>> render(wave::Environment& env,
                                              const std::vector<GenericFilter*>& filters,
                                              size_t length) {
    std::vector<std::vector<float>> out(filters.size());
    for (size_t done = 0; done < length; done += kBlock) {
        const auto n = static_cast<uint32_t>(std::min<size_t>(kBlock, length - done));
        env.beginChunk();
        for (size_t k = 0; k < filters.size(); ++k) {
            const float* samples = filters[k]->pull(n, 0);
            out[k].insert(out[k].end(), samples, samples + n);
        }
        env.finishChunk(n, false);
    }
    return out;
}

inline std::vector<float> sine(double frequency, double rate, size_t length, double amplitude) {
    std::vector<float> s(length);
    for (size_t i = 0; i < length; ++i) {
        s[i] =
            static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * frequency * i / rate));
    }
    return s;
}

// Hann-windowed DFT of x[from, end) at one frequency.
inline std::complex<double> tone(const std::vector<float>& x, size_t from, double frequency,
                                 double rate) {
    std::complex<double> sum;
    const size_t n = x.size() - from;
    for (size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / n);
        sum += w * x[from + i] *
               std::polar(1.0, -2.0 * std::numbers::pi * frequency * (from + i) / rate);
    }
    return sum;
}

inline double decibels(double ratio) {
    return 20.0 * std::log10(ratio);
}

}  // namespace filtertest
