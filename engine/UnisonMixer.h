#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "wave/MultiProducer.h"

// Sums the unison voices of one oscillator into a stereo pair: each entry is a signal with a
// left and a right gain and a balance in -1..1 that fades the opposite side out.
class UnisonMixer : public wave::MultiProducer {
public:
    static constexpr size_t kEntryCapacity = 32;

    explicit UnisonMixer(wave::Environment& env);

    // False (and nothing added) when the mixer is full; never allocates.
    bool addEntry(wave::Producer* leftGain, wave::Producer* rightGain, wave::Producer* signal,
                  float balance);
    void clear() { entries_.clear(); }
    int entryCount() const { return static_cast<int>(entries_.size()); }

    // Balance weights of the two sides: the side away from the balance fades out.
    static float leftWeight(float balance) { return 1.0f - std::max(balance, 0.0f); }
    static float rightWeight(float balance) { return 1.0f + std::min(balance, 0.0f); }

    void produceAll(float* const* buffers, const float** outputs, uint32_t frames,
                    uint32_t flags) override;

private:
    struct Entry {
        wave::Producer* gain[2];
        wave::Producer* signal;
        float balance;
    };

    std::vector<Entry> entries_;
    const float* silent_;
};
