#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "wave/FloatParameterSource.h"
#include "wave/MixKernels.h"
#include "wave/Producer.h"

namespace wave {

// Combines any number of inputs, each a signal times a gain signal, under one of nine modes
// (MixMode). In the sum mode zero-gain inputs are not pulled, a single unity-gain input is handed
// on without a copy and silence is the shared silent buffer.
class Mixer : public Source {
public:
    Mixer(Environment& env, int inputCount);
    ~Mixer() override;

    // Growing past the largest count so far allocates: set it while building the graph. Inputs
    // beyond a shrunk count are dropped; re-grown inputs start again at gain 1 without a signal.
    int inputCount() const { return inputCount_; }
    void setInputCount(int count);
    // A value outside 1..8 sums.
    int mode() const { return mode_; }
    void setMode(int mode) { mode_ = mode; }

    void setSignal(int index, Producer* signal) { record(index).signal = signal; }
    Producer* signal(int index) { return record(index).signal; }
    // Replaces the input's gain by any producer; null restores its own gain source.
    void setGain(int index, Producer* gain);
    Producer* gain(int index) { return record(index).gain; }
    FloatParameterSource& gainSource(int index) { return *record(index).ownGain; }
    void setGainTarget(int index, float value, float timeMs = -1.0f) {
        record(index).ownGain->setTarget(value, timeMs);
    }

    float heldRatio() const { return heldRatio_; }

    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;

private:
    struct InputRecord {
        Producer* gain = nullptr;
        std::unique_ptr<FloatParameterSource> ownGain;
        Producer* signal = nullptr;
    };

    InputRecord& record(int index) { return records_[static_cast<size_t>(index)]; }
    void resize(int count);
    bool produceSum(float* buffer, uint32_t frames, uint32_t flags);
    bool produceCombined(MixMode mode, float* buffer, uint32_t frames, uint32_t flags);

    int inputCount_ = 0;
    int mode_ = 0;
    float heldRatio_ = 1.0f;
    std::vector<InputRecord> records_;  // may hold more than inputCount_ (kept for reuse)
};

}  // namespace wave
