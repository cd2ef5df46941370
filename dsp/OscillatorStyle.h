#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "dsp/Oscillator.h"
#include "framework/LockedObject.h"

// Per-sample-rate lookup over the pitch axis: -10 to +30 octaves above 1 Hz, 409.6 entries per
// octave.
struct Oscillator::RateTable {
    static constexpr int kSize = 16384;
    static constexpr double kOctaves = 40.0;
    static constexpr double kLowestPitch = -10.0;

    uint32_t sampleRate;
    float frequency[kSize];  // cycles per sample, at most one half
    int32_t index[kSize];    // the table row that keeps every harmonic below half the rate
};

// What all oscillators share: the band-limited wave tables, the sine table, the tone constants
// and the rate tables. The lock guards the rate-table list only; the tables are read-only once
// computed or loaded.
class Oscillator::Style : public LockedObject {
public:
    static constexpr int kRowCount = 128;
    static constexpr int kRowStride = 4097;  // one more than the longest row
    static constexpr int kMaxRowLength = 4096;
    static constexpr int kMinRowLength = 64;
    static constexpr int kTableSize = kRowCount * kRowStride;
    static constexpr int kPlainHarmonicRows = 20;      // rows below this have t + 1 harmonics
    static constexpr float kPositionScale = 409.6f;    // table entries per octave
    static constexpr float kPositionOffset = 4096.0f;  // entry of pitch 0
    static constexpr float kMaxPosition = RateTable::kSize - 1;

    struct Tones {
        float whiteNoiseLevel = 1.0f;   // gain of white and pink noise
        float analogNoiseLevel = 0.0f;  // noise floor of triangle, sawtooth and square
        float sawGain = 1.0f;
        float squareGain = 1.0f;
        float squareMix = 1.0f;  // share of the two-saw pulse in the square
        float triangleGain = 1.0f;
        float triangleRolloff = 1.0f;
        float triangleSawMix = 0.0f;  // sawtooth added into the triangle tables
    };
    // The synthesizer's voicing.
    static constexpr Tones kSynthesizerTones{0.2f, 0.0006f, 0.5f, 0.6f, 0.5f, 0.7f, 0.45f, 0.02f};

    Style();
    ~Style() override;

    const Tones& tones() const { return tones_; }
    // Set before the tables are computed or loaded: they depend on four of the constants.
    void setTones(const Tones& tones) { tones_ = tones; }

    // Harmonics in row t.
    static int harmonicCount(int row);
    const int32_t* tableLengths() const { return tableLengths_; }
    const float* sineTable() const { return sineTable_; }
    const int32_t* zeroIndexTable() const { return zeroIndexTable_.get(); }
    // kRowCount rows of kRowStride floats; row t holds tableLengths()[t] + 1 samples.
    const float* sawTables() const { return sawTables_.get(); }
    const float* triangleTables() const { return triangleTables_.get(); }
    float* sawTables() { return sawTables_.get(); }
    float* triangleTables() { return triangleTables_.get(); }

    // Clears both sets, fills them from the tone constants and mixes sawtooth into triangle.
    void computeTables();

    // Created on first use for the integer rate and kept; takes the lock.
    const RateTable& rateTable(uint32_t sampleRate);
    size_t rateTableCount() const;

private:
    Tones tones_;
    std::vector<std::unique_ptr<RateTable>> rateTables_;
    std::unique_ptr<int32_t[]> zeroIndexTable_;
    std::unique_ptr<float[]> sawTables_;
    std::unique_ptr<float[]> triangleTables_;
    float sineTable_[kMaxRowLength + 1];
    int32_t tableLengths_[kRowCount];
};
