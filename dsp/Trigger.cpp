#include "dsp/Trigger.h"

#include <algorithm>

Trigger::Trigger(wave::Environment& env) : env_(&env), stamp_(env.chunkStamp() - 1) {
    events_.reserve(kEventCapacity);
    updateHoldSamples();
}

void Trigger::propertyChanged(const void* property) {
    if (property == &holdTime) updateHoldSamples();
}

void Trigger::updateHoldSamples() {
    holdRate_ = env_->sampleRate();
    const auto samples = static_cast<int32_t>(holdRate_ * holdTime.get() * 0.001f);
    holdSamples_ = std::max(1, samples);
}

void Trigger::evaluate(uint32_t frames) {
    if (stamp_ == env_->chunkStamp()) return;
    stamp_ = env_->chunkStamp();
    const float* x = pullInput(frames, 0);
    events_.clear();
    if (!x || !enabled) return;
    if (holdRate_ != env_->sampleRate()) updateHoldSamples();

    const float onLevel = threshold + wave::Environment::kEpsilon;
    const float offLevel = kReleaseRatio * threshold + wave::Environment::kEpsilon;
    int32_t on = isOn_;
    int32_t below = belowCount_;
    const int32_t hold = holdSamples_;
    for (uint32_t i = 0; i < frames; ++i) {
        if (!on) {
            if (x[i] > onLevel) {
                on = kOn;
                below = 0;
                events_.push_back({kOn, static_cast<int32_t>(i)});
            }
        } else if (x[i] < offLevel) {
            if (++below > hold) {
                on = kOff;
                below = 0;
                events_.push_back({kOff, static_cast<int32_t>(i)});
            }
        } else {
            below = 0;
        }
    }
    isOn_ = on;
    belowCount_ = below;
}
