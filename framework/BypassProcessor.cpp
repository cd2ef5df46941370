#include "framework/BypassProcessor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "wave/Assert.h"

namespace {
constexpr float kEpsilon = 1.1920929e-7f;

uint32_t nextPowerOfTwo(uint32_t v) {
    uint32_t p = 1;
    while (p < v) p <<= 1;
    return p;
}
}  // namespace

GenericPlugin::BypassProcessor::DelayLine::DelayLine(int latency, uint32_t blockSize)
    : ring_(nextPowerOfTwo(static_cast<uint32_t>(latency) + blockSize), 0.0f),
      mask_(static_cast<uint32_t>(ring_.size()) - 1),
      delay_(latency) {
    VORN_ASSERT(latency >= 0);
}

void GenericPlugin::BypassProcessor::DelayLine::write(const float* in, int n) {
    // A chunk at most: the ring holds the latency and one chunk.
    VORN_ASSERT(n >= 0 && static_cast<uint32_t>(delay_ + n) <= ring_.size());
    for (int i = 0; i < n; ++i) ring_[(writePos_ + i) & mask_] = in ? in[i] : 0.0f;
    writePos_ = (writePos_ + n) & mask_;
    fill_ = std::min<uint32_t>(fill_ + n, static_cast<uint32_t>(ring_.size()));
}

void GenericPlugin::BypassProcessor::DelayLine::read(float* out, int n) const {
    // Sample i of the last written chunk of n is at age n - i; the delayed one is `delay_` older.
    for (int i = 0; i < n; ++i) {
        const uint32_t age = static_cast<uint32_t>(delay_ + n - i);
        out[i] = age <= fill_ ? ring_[(writePos_ - age) & mask_] : 0.0f;
    }
}

GenericPlugin::BypassProcessor::BypassProcessor(GenericPlugin& plugin)
    : plugin_(plugin),
      ramp_(plugin.environment(), 0.0f),
      dryScratch_(2 * plugin.environment().blockSize(), 0.0f) {
    syncDelayLines(plugin.latencySamples());
}

void GenericPlugin::BypassProcessor::syncDelayLines(int latency) {
    if (latency == delayLength_) return;
    delayLength_ = latency;
    for (auto& line : lines_)
        line = latency >= 1
                   ? std::make_unique<DelayLine>(latency, plugin_.environment().blockSize())
                   : nullptr;
}

void GenericPlugin::BypassProcessor::changeState(bool bypassed, int latency) {
    const bool wasBypassed = bypassed_;
    unbypassCountdown_ = latency;
    unbypassPending_ = !bypassed && latency >= 1;
    bypassed_ = bypassed;
    // Reset first, so that voices and effects start clean and the fade below is not cut short
    // by the reset jumping every ramp to its target.
    if (wasBypassed) plugin_.environment().reset();
    if (bypassed || latency < 1) ramp_.setTarget(bypassed ? 1.0f : 0.0f, kFadeMs);
}

const float* GenericPlugin::BypassProcessor::dryInput(const float* const* inputs, int inputCount,
                                                      int channel, int offset) const {
    if (inputs && channel < inputCount && inputs[channel]) return inputs[channel] + offset;
    return plugin_.environment().silentBuffer().data();
}

void GenericPlugin::BypassProcessor::process(const float* const* inputs, int inputCount,
                                             float* const* outputs, int channels, int offset, int n,
                                             uint32_t& silenceFlags) {
    wave::Environment& env = plugin_.environment();
    VORN_ASSERT(n > 0 && static_cast<uint32_t>(n) <= env.blockSize() && offset >= 0);
    VORN_ASSERT(channels >= 0 && channels <= 2);
    const bool hasInput = plugin_.hasAudioInput() != 0;

    // Only effect products have latency-delayed dry signals; an instrument never gets here.
    if (hasInput) syncDelayLines(plugin_.latencySamples());

    env.beginChunk();

    if (resetRequested_) {
        resetRequested_ = false;
        if (unbypassPending_) {
            ramp_.setTarget(0.0f, 0.0f);
            unbypassPending_ = false;
        }
        ramp_.finish();
    }
    if (unbypassPending_) {
        if (unbypassCountdown_ > 0) unbypassCountdown_ -= n;
        if (unbypassCountdown_ <= 0) {
            ramp_.setTarget(0.0f, kFadeMs);
            unbypassPending_ = false;
        }
    }

    ramp_.render(static_cast<uint32_t>(n));
    const float* r = ramp_.data();
    const bool rampAtRest = !ramp_.isGliding();

    if (lines_[0]) {
        for (int c = 0; c < 2; ++c)
            lines_[c]->write(hasInput && c < inputCount && inputs[c] ? inputs[c] + offset : nullptr,
                             n);
    }

    const bool fullyBypassed = rampAtRest && std::fabs(r[0] - 1.0f) <= kEpsilon;
    bool rendered = false;
    bool haveData = false;
    if (!fullyBypassed || unbypassPending_) {
        if (!(silenceFlags & kSilentInput)) {
            renderRemaining_ = -1;
        } else if (renderRemaining_ == -1) {
            const int tail = plugin_.tailLength();
            renderRemaining_ = tail < 0 ? -1 : tail + plugin_.latencySamples();
        }
        if (renderRemaining_ != 0) {
            plugin_.render(channelData_, channels, n);
            if (renderRemaining_ != -1) renderRemaining_ = std::max(0, renderRemaining_ - n);
            silenceFlags &= ~kOutputSilent;
            rendered = true;
        } else {
            for (int c = 0; c < channels; ++c)
                channelData_[c] = dryInput(inputs, inputCount, c, offset);
        }
        haveData = true;
    }

    env.finishChunk(static_cast<uint32_t>(n), !rendered);

    if (rampAtRest && std::fabs(r[0]) <= kEpsilon && haveData) {
        for (int c = 0; c < channels; ++c)
            std::memcpy(outputs[c] + offset, channelData_[c], sizeof(float) * n);
        return;
    }

    for (int c = 0; c < channels; ++c) {
        float* out = outputs[c] + offset;
        const float* dry;
        if (!hasInput) {
            dry = env.silentBuffer().data();
        } else if (lines_[c]) {
            float* scratch = dryScratch_.data() + c * env.blockSize();
            lines_[c]->read(scratch, n);
            dry = scratch;
        } else {
            dry = dryInput(inputs, inputCount, c, offset);
        }
        if (rampAtRest && std::fabs(r[0] - 1.0f) <= kEpsilon) {
            std::memcpy(out, dry, sizeof(float) * n);
            continue;
        }
        const float* wet = haveData ? channelData_[c] : dry;
        for (int i = 0; i < n; ++i) out[i] = wet[i] + r[i] * (dry[i] - wet[i]);
    }
}
