#pragma once

#include <array>
#include <cstdint>

#include "wave/FloatParameterSource.h"
#include "wave/Producer.h"

// The delay time of a main delay line in ms: the Time input as it is (free), scaled down to the
// ultra-short range, or a tempo-synchronized base time stretched by the Offset factor.
class DelayTimeController : public wave::Producer {
public:
    enum Mode : int {
        kFree = 0,
        kUltraShort = 1,
        kHalfNote = 2,
        kQuarterNote = 3,
        kEighthNote = 4,
        kSixteenthNote = 5,
        kThirtySecondNote = 6,
        kSixtyFourthNote = 7,
    };
    static constexpr const char* kModeNames =
        "Free,Ultra Short,1/2 Note,1/4 Note,1/8 Note,1/16 Note,1/32 Note,1/64 Note";
    static constexpr float kUltraShortScale = 0.01f;
    static constexpr float kMinTime = 10.0f;    // ms
    static constexpr float kMaxTime = 5000.0f;  // ms
    // Milliseconds times beats per minute of each synchronized mode: a quarter note at 120 BPM
    // lasts 60000 / 120 = 500 ms.
    static constexpr std::array<float, 6> kNoteLengths = {120000.0f, 60000.0f, 30000.0f,
                                                          15000.0f,  7500.0f,  3750.0f};
    static constexpr float kTempoEpsilon = 1.1920929e-7f;

    explicit DelayTimeController(wave::Environment& env);

    void setMode(int mode) { mode_ = mode; }
    int mode() const { return mode_; }
    bool isSynchronized() const { return mode_ >= kHalfNote; }
    // Time in ms and Offset as a factor; read only when connected.
    void setTimeInput(wave::Producer* p) { time_ = p; }
    void setOffsetInput(wave::Producer* p) { offset_ = p; }
    // The synchronized base time, 10..5000 ms.
    wave::FloatParameterSource& base() { return base_; }
    // Sets the base time of a synchronized mode from the tempo in beats per minute, with the
    // automatic glide time; other modes and a zero tempo leave it alone.
    void setTempo(float bpm);

    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;

private:
    int mode_ = kFree;
    wave::Producer* time_ = nullptr;
    wave::Producer* offset_ = nullptr;
    wave::FloatParameterSource base_;
};

// The delay time of an ultra-short line: the Time input (10..5000 ms) scaled to 0.1..50 ms.
class DelayTimeUltraShortController : public wave::Producer {
public:
    explicit DelayTimeUltraShortController(wave::Environment& env) : Producer(env) {}

    void setTimeInput(wave::Producer* p) { time_ = p; }

    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;

private:
    wave::Producer* time_ = nullptr;
};
