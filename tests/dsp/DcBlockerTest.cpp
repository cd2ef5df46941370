#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "dsp/DcBlocker.h"
#include "wave/FloatParameterSource.h"

namespace {

// A block source playing a prepared signal.
class Playback : public wave::Source {
public:
    Playback(wave::Environment& env, std::vector<float> samples)
        : wave::Source(env), samples_(std::move(samples)) {}
    bool produce(float* buffer, uint32_t frames, uint32_t /*flags*/) override {
        for (uint32_t i = 0; i < frames; ++i) {
            buffer[i] = position_ < samples_.size() ? samples_[position_] : 0.0f;
            ++position_;
        }
        return false;
    }

private:
    std::vector<float> samples_;
    size_t position_ = 0;
};

std::vector<float> run(wave::Environment& env, DcBlocker& blocker, size_t count) {
    std::vector<float> out;
    while (out.size() < count) {
        env.beginChunk();
        const float* y = blocker.pull(env.blockSize(), 0);
        out.insert(out.end(), y, y + env.blockSize());
        env.finishChunk(env.blockSize(), false);
    }
    return out;
}

}  // namespace

// An offset under a tone goes away within a second; the tone passes at its level, and the gain
// at a frequency matches the one-pole high-pass formula.
TEST(DcBlocker, RemovesOffsetAndKeepsTheTone) {
    constexpr float kRate = 48000.0f;
    wave::Environment env(256);
    env.setSampleRate(kRate);
    constexpr size_t kCount = 48000 * 2;
    std::vector<float> input(kCount);
    const float w = 2.0f * std::numbers::pi_v<float> * 1000.0f / kRate;
    for (size_t i = 0; i < kCount; ++i)
        input[i] = 0.3f + 0.5f * std::sin(w * static_cast<float>(i));
    Playback source(env, input);
    DcBlocker blocker(env);
    blocker.setInput(&source);
    const std::vector<float> out = run(env, blocker, kCount);

    // The last second: mean and level.
    double mean = 0.0;
    double energy = 0.0;
    for (size_t i = kCount / 2; i < kCount; ++i) {
        mean += out[i];
        energy += static_cast<double>(out[i]) * out[i];
    }
    mean /= kCount / 2;
    EXPECT_NEAR(mean, 0.0, 1e-4);
    const double rms = std::sqrt(energy / (kCount / 2));
    EXPECT_NEAR(20.0 * std::log10(rms / (0.5 / std::sqrt(2.0))), 0.0, 0.01);

    // Gain of y = x - x1 + r y1 at 5 Hz: |1 - z^-1| / |1 - r z^-1|, about -3 dB.
    const double r = blocker.pole();
    const double w5 = 2.0 * std::numbers::pi * DcBlocker::kCornerFrequency / kRate;
    const double gain =
        std::sqrt(2.0 - 2.0 * std::cos(w5)) / std::sqrt(1.0 - 2.0 * r * std::cos(w5) + r * r);
    EXPECT_NEAR(20.0 * std::log10(gain), -3.0, 0.05);
}
