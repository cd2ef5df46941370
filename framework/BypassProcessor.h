#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/GenericPlugin.h"
#include "wave/ValueRamp.h"

// Cross-fades between the rendered signal and the dry signal (silence for an instrument) when the
// instance is bypassed, and decides per chunk whether the engine renders at all.
class GenericPlugin::BypassProcessor {
public:
    static constexpr float kFadeMs = 50.0f;
    static constexpr uint32_t kSilentInput = 1;   // silence flag bit 0: the input is silent
    static constexpr uint32_t kOutputSilent = 2;  // bit 1: cleared once the engine rendered

    // Ring buffer that delays the dry input by the product's latency.
    class DelayLine {
    public:
        DelayLine(int latency, uint32_t blockSize);
        // Writes n samples, then reads the n samples written `latency` samples earlier each.
        void write(const float* in, int n);
        void read(float* out, int n) const;

    private:
        std::vector<float> ring_;
        uint32_t mask_;
        uint32_t writePos_ = 0;
        uint32_t fill_ = 0;
        int delay_;
    };

    explicit BypassProcessor(GenericPlugin& plugin);

    void process(const float* const* inputs, int inputCount, float* const* outputs, int channels,
                 int offset, int n, uint32_t& silenceFlags);
    // Called by the core when the bypass state flips.
    void changeState(bool bypassed, int latency);
    void requestReset() { resetRequested_ = true; }
    // Rebuilds the dry-signal delay lines when the latency differs from the one they were built
    // for.
    void syncDelayLines(int latency);
    bool isBypassed() const { return bypassed_; }
    // Bypass amount of the last rendered sample: 0 processed, 1 bypassed.
    float amount() const { return ramp_.currentValue(); }

private:
    const float* dryInput(const float* const* inputs, int inputCount, int channel,
                          int offset) const;

    GenericPlugin& plugin_;
    wave::ValueRamp ramp_;
    int unbypassCountdown_ = 0;
    bool bypassed_ = false;
    bool unbypassPending_ = false;
    bool resetRequested_ = false;
    int delayLength_ = -1;
    std::unique_ptr<DelayLine> lines_[2];
    const float* channelData_[2] = {nullptr, nullptr};
    int renderRemaining_ = -1;
    std::vector<float> dryScratch_;
};
