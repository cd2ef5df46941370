#pragma once

#include <cstdint>

namespace wave {

// Combination modes of Mixer (the value of its mode property).
enum class MixMode : int {
    kSum = 0,
    kDifference = 1,
    kMaxMagnitude = 2,
    kProduct = 3,
    kLimitedRatio = 4,
    kFloorRatio = 5,
    kHeldRatio = 6,
    kMaximum = 7,
    kMinimum = 8,
};

// Per-block kernels shared by the mixers. A gain is a block of samples, or one value when
// constant; unity constant gains skip the multiplication. Stateless modes process the count
// rounded up to a group of four.
namespace mix {

constexpr float kGainEpsilon = 1.1920929e-7f;
constexpr float kRatioFloor = 1e-9f;

bool isZeroGain(const float* gain, bool constant);
bool isUnityGain(const float* gain, bool constant);

// out = the first contribution of an input (s·g, or |s|·g for the ratio and magnitude modes).
void first(MixMode mode, float* out, const float* signal, const float* gain, bool gainConstant,
           uint32_t frames);
// out = out combined with a further input; heldRatio is the state of kHeldRatio.
void further(MixMode mode, float* out, const float* signal, const float* gain, bool gainConstant,
             uint32_t frames, float& heldRatio);

// Sum of gain·signal contributions into an own buffer. A single unity-gain contribution is not
// copied: the result is that signal's buffer itself.
class SumAccumulator {
public:
    SumAccumulator(float* own, uint32_t frames) : own_(own), frames_(frames) {}

    void add(const float* signal, bool signalConstant, const float* gain, bool gainConstant);
    // The summed samples; silent when nothing was added.
    const float* result(const float* silent) const;
    bool isConstant() const { return constant_; }

private:
    float* own_;
    uint32_t frames_;
    const float* alias_ = nullptr;
    bool written_ = false;
    bool constant_ = true;
};

}  // namespace mix
}  // namespace wave
