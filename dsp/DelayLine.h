#pragma once

#include <cstdint>
#include <vector>

#include "wave/FloatParameterSource.h"
#include "wave/Producer.h"

// A delay line of up to maxTime milliseconds. The ring is sized once for the highest sample rate,
// so a rate change never reallocates. The delay time (ms, or samples in sample mode) follows a
// critically damped 5 Hz smoother, so a change bends the pitch like tape; a constant, settled time
// is served by block copies without interpolation. Optionally the line reads two whole-sample
// taps and crossfades between them every 85 ms instead.
//
// A read-before-write line reads when pulled and writes its input in the run-list pass at the end
// of the chunk, so that it can sit inside a feedback loop. A write-before-read line writes and then
// reads when pulled (and only writes in the run-list pass when nobody pulled it).
class DelayLine : public wave::Producer, public wave::Consumer {
public:
    enum class Order { kReadBeforeWrite, kWriteBeforeRead };

    static constexpr float kSamplesPerMsAtMaxRate = 192.0f;  // 192 kHz
    static constexpr double kSmoothingFrequency = 5.0;       // Hz
    static constexpr double kMaxSmoothingCoefficient = 0.95;
    static constexpr double kSmoothingDamping = 2.0;
    // Closer than this (in samples) the smoother counts as settled.
    static constexpr double kSettledDistance = 0.001;
    static constexpr float kCrossfadeTime = 85.0f;  // ms
    // The old tap falls by this many dB over the first 90 % of a crossfade, then linearly to 0.
    static constexpr double kCrossfadeRange = 36.0;
    static constexpr double kCrossfadeLinearPart = 0.1;

    DelayLine(wave::Environment& env, float maxTimeMs, Order order);

    float maxTime() const { return maxTime_; }
    Order order() const { return order_; }
    uint32_t ringLength() const { return static_cast<uint32_t>(ring_.size()); }
    // Samples written since the last reset, up to the ring length.
    uint32_t filled() const { return filled_; }

    // The delay time in ms (in samples in sample mode); null restores the default source.
    void setTimeInput(wave::Producer* p) { time_ = p ? p : &defaultTime_; }
    wave::Producer* timeInput() const { return time_; }
    wave::FloatParameterSource& defaultTime() { return defaultTime_; }

    void setSmoothing(bool on) { smoothing_ = on; }
    bool smoothing() const { return smoothing_; }
    void setCrossfade(bool on) { crossfade_ = on; }
    bool crossfade() const { return crossfade_; }
    // The time input gives whole samples instead of milliseconds; also rescales the default
    // source's range.
    void setSampleMode(bool on);
    bool sampleMode() const { return sampleMode_; }

    // Whether the last read took the block-copy path.
    bool lastReadWasCopy() const { return lastReadWasCopy_; }

    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;
    // Forgets the audio written so far (it is never replayed) and restarts the smoother.
    void reset() override;

private:
    struct Span {
        double samplesPerUnit;  // of the time input
        double minDelay;        // samples
        double maxDelay;        // samples
    };

    Span span(uint32_t frames) const;
    void write(const float* input, uint32_t frames);
    // Reads one block into buffer, or points the output at silence; returns the constant flag.
    bool read(float* buffer, uint32_t frames);
    // Whole samples behind the block start, with unwritten slots read as 0; returns how many
    // leading samples were unwritten.
    uint32_t copyBlock(float* out, uint32_t delay, uint32_t base, uint32_t frames) const;
    void computeDelays(const float* time, const Span& s, uint32_t frames);
    void interpolatingRead(float* out, uint32_t base, uint32_t frames) const;
    void crossfadeRead(float* out, uint32_t base, uint32_t frames);
    uint32_t crossfadeLength() const;
    bool isWritten(uint32_t slot) const;
    float sample(uint32_t slot) const { return isWritten(slot) ? ring_[slot] : 0.0f; }

    Order order_;
    float maxTime_;
    std::vector<float> ring_;
    uint32_t writePos_ = 0;
    uint32_t filled_ = 0;
    std::vector<double> delays_;  // per-sample delays of one block, in samples
    wave::FloatParameterSource defaultTime_;
    wave::Producer* time_;
    bool smoothing_ = true;
    bool crossfade_ = false;
    bool sampleMode_ = false;

    // Smoother of the whole-sample delay.
    double coefficient_ = 0.0;
    double lp_ = 0.0;
    double bp_ = 0.0;
    bool restart_ = true;

    // Crossfade taps (whole-sample delays) and the position in the current crossfade.
    uint32_t oldTap_ = 0;
    uint32_t newTap_ = 0;
    uint32_t fadePosition_ = 0;

    // What the last read produced, restored when the run-list pass only writes.
    const float* lastOutput_ = nullptr;
    bool lastConstant_ = true;
    bool lastReadWasCopy_ = false;
};
