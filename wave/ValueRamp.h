#pragma once

#include <cstdint>

#include "wave/SampleBuffer.h"

namespace wave {

class Environment;

// A value that glides linearly to its target. Its time is the environment's sample clock, so a
// ramp that is not rendered for a while resumes at the right point of its glide; after a reset
// marker it jumps to its target on the next update.
class ValueRamp {
public:
    static constexpr float kDefaultAutoTimeMin = 20.0f;   // ms, jumps of 30 % of the range or more
    static constexpr float kDefaultAutoTimeMax = 150.0f;  // ms, the smallest moves
    static constexpr float kAutoRangeLimit = 0.3f;
    static constexpr float kAutoRangeScale = 3.3333333f;

    ValueRamp(Environment& env, float initialValue);
    ValueRamp(const ValueRamp&) = delete;
    ValueRamp& operator=(const ValueRamp&) = delete;

    // timeMs < 0: automatic glide time from the size of the move.
    void setTarget(float value, float timeMs);
    // Catches up with the clock and fills the buffer with the next frames values; true when
    // constant (no glide ran in it). Calling it again in the same chunk renders the same values.
    bool render(uint32_t frames);
    // Catches up and skips frames without rendering.
    void advance(uint32_t frames);
    const float* data() const { return buffer_.data(); }

    float target() const { return target_; }
    // The value at the glide position of the last update.
    float currentValue() const;
    bool isGliding() const { return position_ < length_; }
    // Samples of the current glide (0 when the last change applied at once).
    int64_t glideLength() const { return length_; }
    // Ends any running glide now: the value becomes the target.
    void finish();

    // Clamp range of targets; also sets the range used by the automatic time.
    void setLimits(float minimum, float maximum);
    float minimum() const { return minimum_; }
    float maximum() const { return maximum_; }
    float range() const { return range_; }
    // > 0: the value is circular with this period and glides the shorter way round.
    void setCycle(float cycle) { cycle_ = cycle; }
    float cycle() const { return cycle_; }
    void setAutoTimes(float minMs, float maxMs);

private:
    void catchUp(uint32_t frames);
    float autoTime(float distance) const;

    Environment* env_;
    float cycle_ = 0.0f;
    float autoTimeMax_ = kDefaultAutoTimeMax;
    float autoTimeMin_ = kDefaultAutoTimeMin;
    SampleBuffer buffer_;
    int64_t position_ = 0;
    int64_t length_ = 0;
    float startValue_;
    float step_ = 0.0f;
    float maximum_;
    float minimum_;
    float range_;
    uint32_t lastTime_ = 0;
    uint32_t resetsSeen_;  // the environment's reset count at the last update
    uint32_t filled_ = 0;
    float target_;
    // Position at the start of the current chunk, for repeated updates within one chunk.
    int64_t chunkStartPosition_ = 0;
    bool repeatable_ = false;
};

}  // namespace wave
