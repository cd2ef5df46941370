#pragma once

#include <array>
#include <cstdint>

#include "wave/Producer.h"
#include "wave/ValueRamp.h"

namespace wave {

// Selects one of two inputs; a change of selection crossfades linearly over fadeTime.
class Router : public Source {
public:
    static constexpr int kInputCount = 2;
    static constexpr float kDefaultFadeTime = 20.0f;  // ms

    explicit Router(Environment& env);

    int selection() const { return selection_; }
    // A new selection crossfades to that input over fadeTime.
    void setSelection(int index);
    // Selects at once, without a crossfade (the owner's initial selection).
    void selectNow(int index);

    void setSignal(int index, Producer* signal) {
        inputs_[static_cast<size_t>(index)].signal = signal;
    }
    Producer* signal(int index) const { return inputs_[static_cast<size_t>(index)].signal; }
    ValueRamp& gain(int index) { return inputs_[static_cast<size_t>(index)].gain; }
    float fadeTime() const { return fadeTime_; }
    void setFadeTime(float ms) { fadeTime_ = ms; }

    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;

private:
    struct InputRecord {
        explicit InputRecord(Environment& env) : gain(env, 1.0f) {}
        ValueRamp gain;
        Producer* signal = nullptr;
    };

    void applySelection(float timeMs);

    int selection_ = 0;
    float fadeTime_ = kDefaultFadeTime;
    std::array<InputRecord, kInputCount> inputs_;
};

}  // namespace wave
