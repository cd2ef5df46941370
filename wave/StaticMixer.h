#pragma once

#include <cstdint>
#include <vector>

#include "wave/Producer.h"

namespace wave {

// Sums signals with fixed gains; silence (no entry with a signal) is the shared silent buffer.
class StaticMixer : public Source {
public:
    explicit StaticMixer(Environment& env) : Source(env) {}

    // Allocates: add entries while building the graph. Returns the entry's index.
    int addEntry(float gain, Producer* signal);
    void setEntry(int index, float gain, Producer* signal);
    void setGain(int index, float gain) { entries_[static_cast<size_t>(index)].gain = gain; }
    void setSignal(int index, Producer* signal) {
        entries_[static_cast<size_t>(index)].signal = signal;
    }
    int entryCount() const { return static_cast<int>(entries_.size()); }

    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;

private:
    struct Entry {
        float gain;
        Producer* signal;
    };

    std::vector<Entry> entries_;
};

}  // namespace wave
