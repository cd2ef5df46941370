#include "dsp/GainAdjuster.h"

#include <algorithm>

GainAdjuster::GainAdjuster(wave::Environment& env) : Filter(env), gain_(env, kDefaultGain) {
    gain_.ramp().setLimits(-1.0f, 1.0f);
}

bool GainAdjuster::filter(const float* inputBuffer, float* outputBuffer, uint32_t frames,
                          uint32_t flags) {
    if (flags & wave::Environment::kFlagAdvanceOnly) return isConstant();
    if (!inputBuffer) {
        setOutput(environment().silentBuffer().data());
        return true;
    }
    if (!reference_ || !measured_) {
        setOutput(inputBuffer);
        return input()->isConstant();
    }
    const float* g = gain_.pull(frames, flags);
    const float* reference = reference_->pull(frames, flags);
    const float* measured = measured_->pull(frames, flags);
    // Buffers are padded to a multiple of four samples: whole groups of four are processed.
    const uint32_t count = wave::SampleBuffer::roundUp(frames);
    for (uint32_t i = 0; i < count; ++i) {
        const float ratio = measured[i] > 0.0f ? std::clamp(reference[i] / measured[i],
                                                            kMinimumRatio, kMaximumRatio)
                                               : 1.0f;
        outputBuffer[i] = inputBuffer[i] * g[i] * ratio;
    }
    return false;
}
