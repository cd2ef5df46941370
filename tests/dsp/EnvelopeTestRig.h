#pragma once

#include <cassert>
#include <cstdint>
#include <functional>
#include <vector>

#include "wave/Environment.h"
#include "wave/Producer.h"

namespace envtest {

constexpr uint32_t kBlock = 64;

// Plays a prepared signal, one chunk at a time; silence after its end.
class Playback : public wave::Source {
public:
    explicit Playback(wave::Environment& env) : wave::Source(env) {}

    void play(std::vector<float> signal) {
        signal_ = std::move(signal);
        position_ = 0;
    }
    bool produce(float* buffer, uint32_t frames, uint32_t /*flags*/) override {
        for (uint32_t i = 0; i < frames; ++i, ++position_) {
            buffer[i] = position_ < signal_.size() ? signal_[position_] : 0.0f;
        }
        return false;
    }

private:
    std::vector<float> signal_;
    size_t position_ = 0;
};

// Runs length samples in chunks of block and appends what producer outputs in them.
inline void run(wave::Environment& env, wave::Producer& producer, std::vector<float>& out,
                size_t length, uint32_t block = kBlock) {
    assert(block <= env.blockSize());
    for (size_t done = 0; done < length; done += block) {
        const auto n = static_cast<uint32_t>(std::min<size_t>(block, length - done));
        env.beginChunk();
        const float* samples = producer.pull(n, 0);
        out.insert(out.end(), samples, samples + n);
        env.finishChunk(n, false);
    }
}

inline std::vector<float> run(wave::Environment& env, wave::Producer& producer, size_t length,
                              uint32_t block = kBlock) {
    std::vector<float> out;
    run(env, producer, out, length, block);
    return out;
}

// Pulls every producer in every chunk; beforeChunk (if any) gets the sample position first.
inline std::vector<std::vector<float>> runMany(
    wave::Environment& env, const std::vector<wave::Producer*>& producers, size_t length,
    const std::function<void(size_t)>& beforeChunk = nullptr) {
    std::vector<std::vector<float>> out(producers.size());
    for (auto& o : out) o.reserve(length);
    for (size_t done = 0; done < length; done += kBlock) {
        const auto n = static_cast<uint32_t>(std::min<size_t>(kBlock, length - done));
        if (beforeChunk) beforeChunk(done);
        env.beginChunk();
        for (size_t k = 0; k < producers.size(); ++k) {
            const float* samples = producers[k]->pull(n, 0);
            out[k].insert(out[k].end(), samples, samples + n);
        }
        env.finishChunk(n, false);
    }
    return out;
}

}  // namespace envtest
