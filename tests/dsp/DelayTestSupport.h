#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <vector>

#include "wave/Environment.h"
#include "wave/Producer.h"

namespace delaytest {

constexpr float kRate = 48000.0f;
constexpr uint32_t kBlock = 64;

// Plays samples from a generator, one chunk per pull; counts its position across chunks.
class GeneratorSource : public wave::Source {
public:
    using Generator = std::function<float(size_t)>;

    explicit GeneratorSource(wave::Environment& env, Generator g = nullptr)
        : wave::Source(env), generator_(std::move(g)) {}

    void setGenerator(Generator g) { generator_ = std::move(g); }
    size_t position() const { return position_; }

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

inline GeneratorSource::Generator impulseAt(size_t at, float height = 1.0f) {
    return [at, height](size_t n) { return n == at ? height : 0.0f; };
}

inline GeneratorSource::Generator sineOf(double frequency, double amplitude) {
    return [frequency, amplitude](size_t n) {
        return static_cast<float>(amplitude *
                                  std::sin(2.0 * std::numbers::pi * frequency * n / kRate));
    };
}

inline std::vector<float> sineBuffer(double frequency, double amplitude, size_t length) {
    std::vector<float> s(length);
    for (size_t n = 0; n < length; ++n) s[n] = sineOf(frequency, amplitude)(n);
    return s;
}

// Renders length samples in chunks of at most `block`; before each chunk `beforeChunk` (if any)
// gets the sample position; every pulled producer's samples are appended to its output vector.
inline std::vector<std::vector<float>> render(
    wave::Environment& env, const std::vector<wave::Producer*>& outputs, size_t length,
    uint32_t block = kBlock, const std::function<void(size_t)>& beforeChunk = nullptr) {
    std::vector<std::vector<float>> out(outputs.size());
    for (auto& o : out) o.reserve(length);
    for (size_t done = 0; done < length; done += block) {
        const auto n = static_cast<uint32_t>(std::min<size_t>(block, length - done));
        if (beforeChunk) beforeChunk(done);
        env.beginChunk();
        for (size_t k = 0; k < outputs.size(); ++k) {
            const float* samples = outputs[k]->pull(n, 0);
            out[k].insert(out[k].end(), samples, samples + n);
        }
        env.finishChunk(n, false);
    }
    return out;
}

// Indices of the samples whose magnitude exceeds threshold.
inline std::vector<size_t> peaks(const std::vector<float>& x, float threshold) {
    std::vector<size_t> at;
    for (size_t i = 0; i < x.size(); ++i) {
        if (std::fabs(x[i]) > threshold) at.push_back(i);
    }
    return at;
}

inline float largestStep(const std::vector<float>& x, size_t from = 0) {
    float step = 0.0f;
    for (size_t i = std::max<size_t>(from, 1); i < x.size(); ++i) {
        step = std::max(step, std::fabs(x[i] - x[i - 1]));
    }
    return step;
}

}  // namespace delaytest
