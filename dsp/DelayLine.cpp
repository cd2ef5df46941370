#include "dsp/DelayLine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "wave/Assert.h"

DelayLine::DelayLine(wave::Environment& env, float maxTimeMs, Order order)
    : Producer(env),
      order_(order),
      maxTime_(maxTimeMs),
      ring_(env.blockSize() + static_cast<size_t>(maxTimeMs * kSamplesPerMsAtMaxRate), 0.0f),
      delays_(env.blockSize(), 0.0),
      defaultTime_(env, 0.0f),
      time_(&defaultTime_) {
    defaultTime_.ramp().setLimits(0.0f, maxTime_);
    env.registerRun(this, wave::Environment::kModeAlways);
    env.registerReset(this);
    reset();
}

void DelayLine::setSampleMode(bool on) {
    sampleMode_ = on;
    defaultTime_.ramp().setLimits(0.0f, on ? maxTime_ * kSamplesPerMsAtMaxRate : maxTime_);
}

void DelayLine::reset() {
    writePos_ = 0;
    filled_ = 0;
    const double rate = environment().sampleRate();
    const double w = std::min(kSmoothingFrequency / rate, 1.0);
    coefficient_ = std::min(2.0 * std::sin(std::numbers::pi * w), kMaxSmoothingCoefficient);
    restart_ = true;
    lastOutput_ = environment().silentBuffer().data();
    lastConstant_ = true;
}

DelayLine::Span DelayLine::span(uint32_t frames) const {
    Span s{};
    const double perMs = environment().sampleRate() * 0.001;
    s.samplesPerUnit = sampleMode_ ? 1.0 : perMs;
    // A read-before-write line cannot read the block it has not written yet.
    s.minDelay = order_ == Order::kReadBeforeWrite ? frames : 0.0;
    const double longest = sampleMode_ ? maxTime_ * kSamplesPerMsAtMaxRate : maxTime_ * perMs;
    s.maxDelay =
        std::max(s.minDelay, std::min(longest, static_cast<double>(ring_.size() - frames)));
    return s;
}

bool DelayLine::produce(float* buffer, uint32_t frames, uint32_t flags) {
    const float* silent = environment().silentBuffer().data();
    if (!isEnabled()) {
        lastOutput_ = silent;
        lastConstant_ = true;
        setOutput(silent);
        return true;
    }
    if (flags & wave::Environment::kFlagFromRunList) {
        const bool pulled = producedBefore();
        if (order_ == Order::kReadBeforeWrite) {
            if (!pulled) {
                // The input may lead back to this line: it must find this chunk's samples.
                lastConstant_ = read(buffer, frames);
                markProduced();
            }
            setOutput(lastOutput_);
            write(pullInput(frames, 0), frames);
        } else if (!pulled) {
            // Keeps the ring current while nobody listens; the next read starts afresh.
            write(pullInput(frames, 0), frames);
            restart_ = true;
            lastOutput_ = silent;
            lastConstant_ = true;
            setOutput(silent);
        } else {
            setOutput(lastOutput_);
        }
        return lastConstant_;
    }
    if (order_ == Order::kWriteBeforeRead) write(pullInput(frames, flags), frames);
    if (flags & wave::Environment::kFlagAdvanceOnly) {
        lastOutput_ = silent;
        lastConstant_ = true;
        setOutput(silent);
        return true;
    }
    lastConstant_ = read(buffer, frames);
    return lastConstant_;
}

void DelayLine::write(const float* input, uint32_t frames) {
    const auto length = static_cast<uint32_t>(ring_.size());
    // The ring holds a chunk beyond the longest delay: one write never wraps twice.
    VORN_ASSERT(frames <= delays_.size() && writePos_ < length);
    const uint32_t first = std::min(frames, length - writePos_);
    float* ring = ring_.data();
    if (input) {
        std::memcpy(ring + writePos_, input, first * sizeof(float));
        std::memcpy(ring, input + first, (frames - first) * sizeof(float));
    } else {
        std::fill(ring + writePos_, ring + writePos_ + first, 0.0f);
        std::fill(ring, ring + (frames - first), 0.0f);
    }
    writePos_ += frames;
    if (writePos_ >= length) writePos_ -= length;
    filled_ = std::min(filled_ + frames, length);
}

bool DelayLine::isWritten(uint32_t slot) const {
    const auto length = static_cast<int64_t>(ring_.size());
    if (filled_ == length) return true;
    int64_t age = static_cast<int64_t>(writePos_) - 1 - slot;
    if (age < 0) age += length;
    return age < filled_;
}

bool DelayLine::read(float* buffer, uint32_t frames) {
    const float* time = time_->pull(frames, 0);
    const bool timeConstant = time_->isConstant();
    const Span s = span(frames);
    const auto length = static_cast<uint32_t>(ring_.size());
    const uint32_t base =
        order_ == Order::kReadBeforeWrite ? writePos_ : (writePos_ + length - frames) % length;

    const double first = sampleMode_ ? std::round(time[0]) : time[0] * s.samplesPerUnit;
    const double whole = std::trunc(std::clamp(first, s.minDelay, s.maxDelay));
    if (restart_) {
        bp_ = 0.0;
        lp_ = whole;
        oldTap_ = newTap_ = static_cast<uint32_t>(whole);
        fadePosition_ = 0;
        restart_ = false;
    }

    const bool settled = !smoothing_ || std::fabs(lp_ - whole) < kSettledDistance;
    const bool tapsAtRest = !crossfade_ || (oldTap_ == newTap_ && newTap_ == whole);
    lastReadWasCopy_ = timeConstant && settled && tapsAtRest;
    VORN_ASSERT(frames <= delays_.size() && whole >= 0.0 && whole <= length);
    if (lastReadWasCopy_) {
        // Taps at rest still keep the rhythm of the crossfade cycles.
        if (crossfade_) fadePosition_ = (fadePosition_ + frames) % crossfadeLength();
        if (copyBlock(buffer, static_cast<uint32_t>(whole), base, frames) == frames) {
            lastOutput_ = environment().silentBuffer().data();  // nothing written there yet
            setOutput(lastOutput_);
            return true;
        }
    } else {
        computeDelays(time, s, frames);
        if (crossfade_) {
            crossfadeRead(buffer, base, frames);
        } else {
            interpolatingRead(buffer, base, frames);
        }
    }
    lastOutput_ = buffer;
    setOutput(buffer);
    return false;
}

uint32_t DelayLine::copyBlock(float* out, uint32_t delay, uint32_t base, uint32_t frames) const {
    const auto length = static_cast<uint32_t>(ring_.size());
    uint32_t start = base + length - delay;
    if (start >= length) start -= length;
    uint32_t zeros = 0;
    if (filled_ < length) {
        int64_t age = static_cast<int64_t>(writePos_) - 1 - start;
        if (age < 0) age += length;
        zeros = static_cast<uint32_t>(
            std::clamp<int64_t>(age + 1 - filled_, 0, static_cast<int64_t>(frames)));
    }
    std::fill(out, out + zeros, 0.0f);
    uint32_t from = start + zeros;
    if (from >= length) from -= length;
    const uint32_t count = frames - zeros;
    const uint32_t part = std::min(count, length - from);
    std::memcpy(out + zeros, ring_.data() + from, part * sizeof(float));
    std::memcpy(out + zeros + part, ring_.data(), (count - part) * sizeof(float));
    return zeros;
}

void DelayLine::computeDelays(const float* time, const Span& s, uint32_t frames) {
    double* delays = delays_.data();
    if (!smoothing_) {
        for (uint32_t i = 0; i < frames; ++i) {
            const double d = sampleMode_ ? std::round(time[i]) : time[i] * s.samplesPerUnit;
            delays[i] = std::clamp(d, s.minDelay, s.maxDelay);
        }
        return;
    }
    const double f = coefficient_;
    double lp = lp_;
    double bp = bp_;
    for (uint32_t i = 0; i < frames; ++i) {
        const double d = sampleMode_ ? std::round(time[i]) : time[i] * s.samplesPerUnit;
        const double target = std::trunc(std::clamp(d, s.minDelay, s.maxDelay));
        lp += f * bp;
        bp += f * (target - kSmoothingDamping * bp - lp);
        delays[i] = std::clamp(lp, s.minDelay, s.maxDelay);
    }
    lp_ = lp;
    bp_ = bp;
}

void DelayLine::interpolatingRead(float* out, uint32_t base, uint32_t frames) const {
    const auto length = static_cast<uint32_t>(ring_.size());
    const double* delays = delays_.data();
    const float* ring = ring_.data();
    for (uint32_t i = 0; i < frames; ++i) {
        double p = static_cast<double>(base) + i - delays[i];
        if (p < 0.0) p += length;
        auto j = static_cast<uint32_t>(p);
        const auto fraction = static_cast<float>(p - j);
        if (j >= length) j -= length;
        const uint32_t next = j + 1 == length ? 0 : j + 1;
        out[i] = isWritten(j) ? ring[j] + (ring[next] - ring[j]) * fraction : 0.0f;
    }
}

uint32_t DelayLine::crossfadeLength() const {
    const double perMs = environment().sampleRate() * 0.001;
    return std::max<uint32_t>(1, static_cast<uint32_t>(perMs * kCrossfadeTime));
}

void DelayLine::crossfadeRead(float* out, uint32_t base, uint32_t frames) {
    const auto length = static_cast<uint32_t>(ring_.size());
    const uint32_t fadeLength = crossfadeLength();
    const double linearStart =
        std::pow(10.0, (kCrossfadeLinearPart - 1.0) * kCrossfadeRange / 20.0);
    const double* delays = delays_.data();
    uint32_t oldTap = oldTap_;
    uint32_t newTap = newTap_;
    uint32_t position = fadePosition_;
    for (uint32_t i = 0; i < frames; ++i) {
        if (position >= fadeLength) {
            oldTap = newTap;
            newTap = static_cast<uint32_t>(std::lround(delays[i]));
            position = 0;
        }
        const double f = 1.0 - static_cast<double>(position) / fadeLength;
        const double g = f > kCrossfadeLinearPart
                             ? std::pow(10.0, (f - 1.0) * kCrossfadeRange / 20.0)
                             : linearStart * f / kCrossfadeLinearPart;
        const uint32_t now = base + i + length;
        const float a = sample((now - newTap) % length);
        const float b = sample((now - oldTap) % length);
        out[i] = static_cast<float>((1.0 - g) * a + g * b);
        ++position;
    }
    oldTap_ = oldTap;
    newTap_ = newTap;
    fadePosition_ = position;
}
