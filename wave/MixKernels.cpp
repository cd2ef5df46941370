#include "wave/MixKernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "wave/SampleBuffer.h"

namespace wave::mix {

namespace {

struct UnityGain {
    float operator[](uint32_t) const { return 1.0f; }
};
struct ConstantGain {
    float value;
    float operator[](uint32_t) const { return value; }
};
struct BlockGain {
    const float* samples;
    float operator[](uint32_t i) const { return samples[i]; }
};

template <typename Gain>
void firstLoop(MixMode mode, float* out, const float* s, Gain g, uint32_t n) {
    switch (mode) {
        case MixMode::kMaxMagnitude:
        case MixMode::kLimitedRatio:
        case MixMode::kFloorRatio:
        case MixMode::kHeldRatio:
            for (uint32_t i = 0; i < n; ++i) out[i] = std::fabs(s[i]) * g[i];
            break;
        default:
            for (uint32_t i = 0; i < n; ++i) out[i] = s[i] * g[i];
            break;
    }
}

template <typename Gain>
void furtherLoop(MixMode mode, float* out, const float* s, Gain g, uint32_t n, uint32_t exact,
                 float& heldRatio) {
    switch (mode) {
        case MixMode::kSum:
            for (uint32_t i = 0; i < n; ++i) out[i] += s[i] * g[i];
            break;
        case MixMode::kDifference:
            for (uint32_t i = 0; i < n; ++i) out[i] -= s[i] * g[i];
            break;
        case MixMode::kMaxMagnitude:
            for (uint32_t i = 0; i < n; ++i) out[i] = std::max(out[i], std::fabs(s[i] * g[i]));
            break;
        case MixMode::kProduct:
            for (uint32_t i = 0; i < n; ++i) out[i] *= s[i] * g[i];
            break;
        case MixMode::kLimitedRatio:
            for (uint32_t i = 0; i < n; ++i) {
                const float d = std::fabs(s[i] * g[i]);
                const float q = d == 0.0f ? 0.0f : out[i] / d;
                out[i] = std::isnan(q) ? 0.0f : std::clamp(q, 0.0f, 1.0f);
            }
            break;
        case MixMode::kFloorRatio:
            for (uint32_t i = 0; i < n; ++i) {
                out[i] =
                    std::max(out[i], kRatioFloor) / std::max(std::fabs(s[i] * g[i]), kRatioFloor);
            }
            break;
        case MixMode::kHeldRatio: {
            // Stateful: exactly the chunk's samples, so padding never reaches the held ratio.
            float held = heldRatio;
            for (uint32_t i = 0; i < exact; ++i) {
                const float d = std::fabs(s[i] * g[i]);
                if (d > kRatioFloor) held = out[i] / d;
                out[i] = held;
            }
            heldRatio = held;
            break;
        }
        case MixMode::kMaximum:
            for (uint32_t i = 0; i < n; ++i) out[i] = std::max(out[i], s[i] * g[i]);
            break;
        case MixMode::kMinimum:
            for (uint32_t i = 0; i < n; ++i) out[i] = std::min(out[i], s[i] * g[i]);
            break;
    }
}

}  // namespace

bool isZeroGain(const float* gain, bool constant) {
    return constant && std::fabs(gain[0]) <= kGainEpsilon;
}

bool isUnityGain(const float* gain, bool constant) {
    return constant && std::fabs(gain[0] - 1.0f) <= kGainEpsilon;
}

void first(MixMode mode, float* out, const float* signal, const float* gain, bool gainConstant,
           uint32_t frames) {
    const uint32_t n = SampleBuffer::roundUp(frames);
    if (isUnityGain(gain, gainConstant)) {
        firstLoop(mode, out, signal, UnityGain{}, n);
    } else if (gainConstant) {
        firstLoop(mode, out, signal, ConstantGain{gain[0]}, n);
    } else {
        firstLoop(mode, out, signal, BlockGain{gain}, n);
    }
}

void further(MixMode mode, float* out, const float* signal, const float* gain, bool gainConstant,
             uint32_t frames, float& heldRatio) {
    const uint32_t n = SampleBuffer::roundUp(frames);
    if (isUnityGain(gain, gainConstant)) {
        furtherLoop(mode, out, signal, UnityGain{}, n, frames, heldRatio);
    } else if (gainConstant) {
        furtherLoop(mode, out, signal, ConstantGain{gain[0]}, n, frames, heldRatio);
    } else {
        furtherLoop(mode, out, signal, BlockGain{gain}, n, frames, heldRatio);
    }
}

void SumAccumulator::add(const float* signal, bool signalConstant, const float* gain,
                         bool gainConstant) {
    constant_ = constant_ && signalConstant && gainConstant;
    float unusedHeld = 0.0f;
    if (written_) {
        further(MixMode::kSum, own_, signal, gain, gainConstant, frames_, unusedHeld);
        return;
    }
    if (alias_) {
        std::memcpy(own_, alias_, SampleBuffer::roundUp(frames_) * sizeof(float));
        further(MixMode::kSum, own_, signal, gain, gainConstant, frames_, unusedHeld);
        written_ = true;
        return;
    }
    if (isUnityGain(gain, gainConstant)) {
        alias_ = signal;
        return;
    }
    first(MixMode::kSum, own_, signal, gain, gainConstant, frames_);
    written_ = true;
}

const float* SumAccumulator::result(const float* silent) const {
    if (written_) return own_;
    return alias_ ? alias_ : silent;
}

}  // namespace wave::mix
