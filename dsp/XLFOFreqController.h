#pragma once

#include <cstdint>

#include "framework/Property.h"
#include "wave/FloatParameterSource.h"
#include "wave/Producer.h"

class XLFO;

// The frequency of an XLFO: free (the free-frequency input passed through) or locked to the
// host tempo, a number of bars per cycle scaled by the frequency-offset factor. In a
// synchronised mode it also re-phases its XLFO from the host's song position.
class XLFOFreqController : public wave::Producer, public PropertyOwner {
public:
    // 0 is free; mode k >= 1 runs one cycle per 16 / 2^(k - 1) bars.
    enum SyncMode : int { kFree = 0 };
    static constexpr const char* kSyncModeNames = "Free,16,8,4,2,1,1/2,1/4,1/8,1/16,1/32,1/64";
    static constexpr int kModeCount = 12;
    static constexpr float kMinOffset = 0.5f;
    static constexpr float kMaxOffset = 2.0f;
    static constexpr float kMaxSyncFrequency = 1000.0f;

    // Drives xlfo's frequency input.
    XLFOFreqController(wave::Environment& env, XLFO& xlfo);

    // Bars per cycle of a synchronised mode (1..11).
    static float barsPerCycle(int mode);

    // Null restores the default parameter sources.
    void setFreeFrequencyInput(wave::Producer* p) { free_ = p ? p : &defaultFreeFrequency_; }
    void setOffsetInput(wave::Producer* p) { offset_ = p ? p : &defaultOffset_; }
    wave::FloatParameterSource& defaultFreeFrequency() { return defaultFreeFrequency_; }
    wave::FloatParameterSource& defaultOffset() { return defaultOffset_; }
    // The tempo-derived frequency (cycles per second, before the offset factor).
    wave::FloatParameterSource& syncFrequency() { return syncFrequency_; }

    // Host tempo (BPM) and song position (quarter notes); in a synchronised mode sets the
    // synchronised frequency and re-phases the XLFO in the next rendered chunk.
    void setTransport(float tempo, double songPosition);
    bool transportPending() const { return pending_; }

    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;
    void propertyChanged(const void* property) override;

    // An XLFOFreqController::SyncMode or a synchronised mode 1..11.
    Property<int> syncMode{this, kFree};

private:
    int mode() const;
    void applyTempo();

    XLFO* xlfo_;
    wave::FloatParameterSource defaultFreeFrequency_;
    wave::FloatParameterSource defaultOffset_;
    wave::FloatParameterSource syncFrequency_;
    wave::Producer* free_;
    wave::Producer* offset_;
    bool pending_ = false;
    bool tempoKnown_ = false;
    float tempo_ = 0.0f;
    double songPosition_ = 0.0;
};
