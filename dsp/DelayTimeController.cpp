#include "dsp/DelayTimeController.h"

#include <algorithm>
#include <cmath>

namespace {

// Time (10..5000 ms) to the ultra-short range (0.1..50 ms).
bool scaleToUltraShort(wave::Producer& time, float* buffer, uint32_t frames, uint32_t flags) {
    const float* t = time.pull(frames, flags);
    for (uint32_t i = 0; i < frames; ++i) buffer[i] = t[i] * DelayTimeController::kUltraShortScale;
    return time.isConstant();
}

}  // namespace

DelayTimeController::DelayTimeController(wave::Environment& env)
    : Producer(env), base_(env, kMinTime) {
    base_.ramp().setLimits(kMinTime, kMaxTime);
}

void DelayTimeController::setTempo(float bpm) {
    if (!isSynchronized() || std::fabs(bpm) <= kTempoEpsilon) return;
    const auto index = static_cast<size_t>(std::min<int>(mode_, kSixtyFourthNote) - kHalfNote);
    base_.setTarget(kNoteLengths[index] / bpm);
}

bool DelayTimeController::produce(float* buffer, uint32_t frames, uint32_t flags) {
    if (flags & wave::Environment::kFlagAdvanceOnly) return false;
    if (!time_ && mode_ < kHalfNote) {
        setOutput(environment().silentBuffer().data());
        return true;
    }
    if (mode_ == kFree) {
        setOutput(time_->pull(frames, flags));
        return time_->isConstant();
    }
    if (mode_ == kUltraShort) return scaleToUltraShort(*time_, buffer, frames, flags);
    const float* base = base_.pull(frames, flags);
    bool constant = base_.isConstant();
    if (!offset_) {
        for (uint32_t i = 0; i < frames; ++i) buffer[i] = std::clamp(base[i], kMinTime, kMaxTime);
        return constant;
    }
    const float* offset = offset_->pull(frames, flags);
    constant = constant && offset_->isConstant();
    for (uint32_t i = 0; i < frames; ++i) {
        buffer[i] = std::clamp(base[i] * offset[i], kMinTime, kMaxTime);
    }
    return constant;
}

bool DelayTimeUltraShortController::produce(float* buffer, uint32_t frames, uint32_t flags) {
    if (flags & wave::Environment::kFlagAdvanceOnly) return false;
    if (!time_) {
        setOutput(environment().silentBuffer().data());
        return true;
    }
    return scaleToUltraShort(*time_, buffer, frames, flags);
}
