#include "wave/ValueRamp.h"

#include <algorithm>
#include <cmath>

#include "wave/Assert.h"
#include "wave/Environment.h"

namespace wave {

ValueRamp::ValueRamp(Environment& env, float initialValue)
    : env_(&env),
      buffer_(env.blockSize()),
      startValue_(initialValue),
      maximum_(std::max(initialValue, 1.0f)),
      minimum_(std::min(initialValue, 0.0f)),
      range_(maximum_ - minimum_),
      resetsSeen_(env.resetCount()),
      target_(initialValue) {}

void ValueRamp::catchUp(uint32_t frames) {
    const uint32_t clock = env_->sampleClock();
    if (repeatable_ && frames > 0 && lastTime_ == clock + frames) {
        // A second update in the same chunk renders the same stretch again.
        position_ = chunkStartPosition_;
        return;
    }
    int64_t elapsed;
    if (resetsSeen_ == env_->resetCount()) {
        elapsed = static_cast<int32_t>(clock - lastTime_);
    } else {
        // A reset (or a state load) since the last update ends the glide at once. Counting
        // resets rather than comparing clocks keeps a glide started right after a reset alive.
        elapsed = std::max<int64_t>(length_ - position_, 0);
        resetsSeen_ = env_->resetCount();
    }
    lastTime_ = clock + frames;
    position_ += elapsed;
    chunkStartPosition_ = position_;
    repeatable_ = frames > 0;
}

bool ValueRamp::render(uint32_t frames) {
    VORN_ASSERT(frames <= buffer_.size());
    catchUp(frames);
    float* out = buffer_.data();
    if (position_ >= length_) {
        std::fill(out + std::min(filled_, frames), out + frames, target_);
        filled_ = std::max(filled_, frames);
        position_ += frames;
        return true;
    }
    const auto gliding = static_cast<uint32_t>(std::min<int64_t>(length_ - position_, frames));
    const double step = step_;
    double value = startValue_ + static_cast<double>(position_) * step;
    for (uint32_t i = 0; i < gliding; ++i) {
        out[i] = static_cast<float>(value);
        value += step;
    }
    std::fill(out + gliding, out + frames, target_);
    filled_ = 0;
    position_ += frames;
    return false;
}

void ValueRamp::advance(uint32_t frames) {
    catchUp(frames);
    position_ += frames;
}

float ValueRamp::currentValue() const {
    if (position_ >= length_) return target_;
    return static_cast<float>(startValue_ + static_cast<double>(position_) * step_);
}

void ValueRamp::finish() {
    position_ = length_;
    filled_ = 0;
    repeatable_ = false;
}

void ValueRamp::setTarget(float value, float timeMs) {
    value = std::clamp(value, minimum_, maximum_);
    if (std::fabs(value - target_) <= Environment::kEpsilon) return;

    repeatable_ = false;
    catchUp(0);
    startValue_ = currentValue();
    position_ = 0;
    filled_ = 0;

    if (cycle_ > 0.0f) {
        // Shorter way round: the start moves by whole cycles next to the target.
        const float c = cycle_;
        float d = std::fmod(std::fmod(value / c, 1.0f) - std::fmod(startValue_ / c, 1.0f), 1.0f);
        if (d > 0.5f) {
            d -= 1.0f;
        } else if (d < -0.5f) {
            d += 1.0f;
        }
        startValue_ = std::clamp(value - d * c, minimum_, maximum_);
    }

    const float time = timeMs >= 0.0f ? timeMs : autoTime(std::fabs(value - startValue_));
    length_ = static_cast<int64_t>(static_cast<double>(env_->sampleRate()) * time * 0.001);
    if (length_ >= 1) {
        step_ = (value - startValue_) / static_cast<float>(length_);
    } else {
        length_ = 0;
        step_ = 0.0f;
    }
    target_ = value;
}

float ValueRamp::autoTime(float distance) const {
    const float r = range_ > 0.0f ? distance / range_ : 1.0f;
    if (r >= kAutoRangeLimit || autoTimeMax_ == autoTimeMin_) return autoTimeMin_;
    const float x = (kAutoRangeLimit - r) * kAutoRangeScale;
    return autoTimeMin_ + (autoTimeMax_ - autoTimeMin_) * x * x;
}

void ValueRamp::setLimits(float minimum, float maximum) {
    VORN_ASSERT(minimum <= maximum);
    minimum_ = minimum;
    maximum_ = maximum;
    range_ = maximum - minimum;
}

void ValueRamp::setAutoTimes(float minMs, float maxMs) {
    autoTimeMin_ = minMs;
    autoTimeMax_ = maxMs;
}

}  // namespace wave
