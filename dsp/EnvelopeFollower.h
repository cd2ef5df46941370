#pragma once

#include <cstdint>

#include "wave/FloatParameterSource.h"
#include "wave/Producer.h"

// Follows the level of a non-negative signal (the side chain) in decibels and outputs it as 0..1
// over the range -60..0 dBFS. A step is 90 % done after the attack or release time.
class EnvelopeFollower : public wave::Filter {
public:
    static constexpr float kMinimumTime = 0.0005f;  // seconds
    static constexpr float kMaximumTime = 10.0f;
    static constexpr float kDefaultAttack = 0.0005f;
    static constexpr float kDefaultRelease = 0.1f;
    static constexpr float kRangeDb = 60.0f;       // output 0 at -kRangeDb dBFS and below
    static constexpr float kFloorDb = -180.0f;     // level of silence
    static constexpr float kSilentLevel = 1e-10f;  // levels at or below read as the floor

    explicit EnvelopeFollower(wave::Environment& env);

    // Null restores the default source.
    void setAttackInput(wave::Producer* p) { attack_ = p ? p : &defaultAttack_; }
    void setReleaseInput(wave::Producer* p) { release_ = p ? p : &defaultRelease_; }
    wave::FloatParameterSource& defaultAttack() { return defaultAttack_; }
    wave::FloatParameterSource& defaultRelease() { return defaultRelease_; }

    // Follows the input even when only advanced, so that it stays in time when nobody reads it.
    bool filter(const float* inputBuffer, float* outputBuffer, uint32_t frames,
                uint32_t flags) override;
    void reset() override { state_ = 0.0f; }

    // Decibels above -60 dBFS.
    float state() const { return state_; }

private:
    // 1 - exp(-ln 10 / (rate * time)), cached for the product it was computed for.
    struct Coefficient {
        float product = -1.0f;
        float value = 0.0f;
        void update(float rateTimesTime);
    };

    wave::FloatParameterSource defaultAttack_;
    wave::FloatParameterSource defaultRelease_;
    wave::Producer* attack_;
    wave::Producer* release_;
    float state_ = 0.0f;
    Coefficient attackCoefficient_;
    Coefficient releaseCoefficient_;
};
