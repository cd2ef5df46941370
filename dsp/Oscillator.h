#pragma once

#include <cstdint>

#include "wave/FloatParameterSource.h"
#include "wave/Producer.h"

// Band-limited oscillator: triangle and sawtooth read from wave tables chosen by pitch, a pulse
// built from two sawtooth reads, a sine, white and pink noise, with hard sync and a per-sample
// level. All oscillators share one Style that owns the tables (dsp/OscillatorStyle.h).
class Oscillator : public wave::Source {
public:
    class Style;
    struct RateTable;

    enum WaveForm : int { kTriangle, kSawtooth, kSquare, kSine, kWhiteNoise, kPinkNoise };
    static constexpr int kWaveFormCount = 6;
    static constexpr const char* kWaveFormNames =
        "Triangle,Sawtooth,Square,Sine,White Noise,Pink Noise";

    // Ranges and defaults of the four inputs' own sources. Pitch in octaves above 1 Hz, sync in
    // octaves of the slave above the master.
    static constexpr float kMinPitch = -10.0f;
    static constexpr float kMaxPitch = 30.0f;
    static constexpr float kDefaultPitch = 8.0f;
    static constexpr float kMaxSync = 2.0f;

    // seed: start of the instance's own random generator, which picks the start phase and the
    // noise register (deterministic, unlike a shared rand()).
    Oscillator(Style& style, wave::Environment& env, uint32_t seed = 1);
    ~Oscillator() override;

    // Null restores the input's own parameter source.
    void setPitchInput(wave::Producer* p) { pitch_ = p ? p : &defaultPitch_; }
    void setLevelInput(wave::Producer* p) { level_ = p ? p : &defaultLevel_; }
    void setPulseWidthInput(wave::Producer* p) { pulseWidth_ = p ? p : &defaultPulseWidth_; }
    void setSyncInput(wave::Producer* p) { sync_ = p ? p : &defaultSync_; }
    wave::FloatParameterSource& defaultPitch() { return defaultPitch_; }
    wave::FloatParameterSource& defaultLevel() { return defaultLevel_; }
    wave::FloatParameterSource& defaultPulseWidth() { return defaultPulseWidth_; }
    wave::FloatParameterSource& defaultSync() { return defaultSync_; }

    // Takes effect at the start of the next block.
    void setWaveForm(int waveForm) { requestedWaveForm_ = waveForm; }
    int requestedWaveForm() const { return requestedWaveForm_; }
    int currentWaveForm() const { return currentWaveForm_; }

    // Phase sync at note-on: three quarters into the row in use.
    void resetPhase();
    // Read position of the next sample, in samples of the current row.
    float phase() const { return phase_; }
    float masterPhase() const { return masterPhase_; }
    int tableIndex() const { return tableIndex_; }
    int tableLength() const { return lengths_[tableIndex_]; }

    // Reads without sync in plain scalar code: the reference for the four-lane path, which must
    // give the same samples.
    void setScalarPath(bool on) { scalarPath_ = on; }

    // An advance-only call renders as well, so that the phase and the noise move exactly.
    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;
    void sampleRateChanged(wave::Environment& env) override;

private:
    template <class Lanes, bool IsPulse>
    void readLanes(const float* rows, const float* pitch, const float* pulseWidth, float* out,
                   uint32_t frames);
    template <bool IsPulse>
    void readSync(const float* rows, const float* pitch, const float* sync, const float* pulseWidth,
                  float* out, uint32_t frames);
    void readTable(const float* rows, bool isPulse, float* out, uint32_t frames, uint32_t flags);
    void switchWaveForm();
    void renderNoise(float* out, uint32_t frames, bool pink);
    void addNoiseFloor(float* out, uint32_t frames);
    // Row for the pitch position x; rescales phase (and master) to a new row length. Returns the
    // phase increment per sample.
    float selectRow(float x, int& row, int& length, float& phase, float* master) const;

    Style& style_;
    wave::FloatParameterSource defaultPitch_;
    wave::FloatParameterSource defaultLevel_;
    wave::FloatParameterSource defaultPulseWidth_;
    wave::FloatParameterSource defaultSync_;
    wave::Producer* pitch_;
    wave::Producer* level_;
    wave::Producer* pulseWidth_;
    wave::Producer* sync_;

    int requestedWaveForm_ = kSawtooth;
    int currentWaveForm_ = kSawtooth;
    uint32_t noiseState_;
    float pink0_ = 0.0f;
    float pink1_ = 0.0f;
    float pink2_ = 0.0f;

    const float* frequency_ = nullptr;
    const int32_t* index_ = nullptr;
    const int32_t* lengths_;
    const int32_t* rateIndex_ = nullptr;  // the rate table's, restored when leaving Sine
    float sampleRate_ = 0.0f;

    float phase_;
    float masterPhase_;
    float crossfadeStart_ = 1000.0f;
    float crossfadeRate_ = 0.0f;
    float crossfadeOffset_ = 0.0f;
    int tableIndex_ = 0;

    // Pulse constants from the Style's tone constants.
    float pulseK1_;
    float pulseK2_;
    float pulseK3_;
    bool scalarPath_ = false;
};
