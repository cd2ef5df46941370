#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <vector>

#include "wave/Environment.h"
#include "wave/Producer.h"

// Signal sources, chunked rendering and measurements shared by the DSP suites.
namespace dsptest {

constexpr uint32_t kBlock = 64;

struct Env : wave::Environment {
    explicit Env(float rate, uint32_t block = kBlock) : Environment(block) { setSampleRate(rate); }
};

inline std::function<float(size_t)> impulseAt(size_t at, float height = 1.0f) {
    return [at, height](size_t n) { return n == at ? height : 0.0f; };
}

// Plays a function of the absolute sample position, one chunk per pull; silence without one.
class Playback : public wave::Source {
public:
    using Generator = std::function<float(size_t)>;

    explicit Playback(wave::Environment& env, Generator g = nullptr)
        : wave::Source(env), generator_(std::move(g)) {}

    void setGenerator(Generator g) { generator_ = std::move(g); }
    // The samples from the next one on, then silence.
    void play(std::vector<float> samples) {
        generator_ = [s = std::move(samples), from = position_](size_t n) {
            return n - from < s.size() ? s[n - from] : 0.0f;
        };
    }
    // An impulse at the next sample, then silence.
    void kick(float height = 1.0f) { generator_ = impulseAt(position_, height); }

    bool produce(float* buffer, uint32_t frames, uint32_t /*flags*/) override {
        for (uint32_t i = 0; i < frames; ++i, ++position_) {
            buffer[i] = generator_ ? generator_(position_) : 0.0f;
        }
        return false;
    }

private:
    Generator generator_;
    size_t position_ = 0;
};

inline Playback::Generator sineOf(double frequency, double amplitude, double rate) {
    return [=](size_t n) {
        return static_cast<float>(amplitude *
                                  std::sin(2.0 * std::numbers::pi * frequency * n / rate));
    };
}

// Renders length samples in chunks of at most block, pulling every producer in every chunk;
// beforeChunk (if any) gets the sample position first.
inline std::vector<std::vector<float>> render(
    wave::Environment& env, const std::vector<wave::Producer*>& producers, size_t length,
    uint32_t block = kBlock, const std::function<void(size_t)>& beforeChunk = nullptr) {
    std::vector<std::vector<float>> out(producers.size());
    for (auto& o : out) o.reserve(length);
    for (size_t done = 0; done < length; done += block) {
        const auto n = static_cast<uint32_t>(std::min<size_t>(block, length - done));
        if (beforeChunk) beforeChunk(done);
        env.beginChunk();
        for (size_t k = 0; k < producers.size(); ++k) {
            const float* x = producers[k]->pull(n, 0);
            out[k].insert(out[k].end(), x, x + n);
        }
        env.finishChunk(n, false);
    }
    return out;
}

inline std::vector<float> render(wave::Environment& env, wave::Producer& producer, size_t length,
                                 uint32_t block = kBlock) {
    return std::move(render(env, {&producer}, length, block)[0]);
}

// Indices of the samples whose magnitude exceeds threshold.
inline std::vector<size_t> peaks(const std::vector<float>& x, float threshold) {
    std::vector<size_t> at;
    for (size_t i = 0; i < x.size(); ++i) {
        if (std::fabs(x[i]) > threshold) at.push_back(i);
    }
    return at;
}

// Whether every sample of x in [from, to) equals v.
inline bool holds(const std::vector<float>& x, float v, size_t from = 0, size_t to = SIZE_MAX) {
    return std::all_of(x.begin() + from, x.begin() + std::min(to, x.size()),
                       [v](float s) { return s == v; });
}

inline size_t argmax(const std::vector<float>& x) {
    return static_cast<size_t>(std::max_element(x.begin(), x.end()) - x.begin());
}

inline float largestStep(const std::vector<float>& x, size_t from = 1, size_t to = SIZE_MAX) {
    float step = 0.0f;
    for (size_t i = std::max<size_t>(from, 1); i < std::min(to, x.size()); ++i) {
        step = std::max(step, std::fabs(x[i] - x[i - 1]));
    }
    return step;
}

inline double rms(const std::vector<float>& x, size_t from = 0, size_t to = SIZE_MAX) {
    to = std::min(to, x.size());
    double sum = 0.0;
    for (size_t i = from; i < to; ++i) sum += static_cast<double>(x[i]) * x[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}

inline double decibels(double ratio) {
    return 20.0 * std::log10(ratio);
}

}  // namespace dsptest
