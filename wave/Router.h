#pragma once

#include <array>
#include <cstdint>

#include "wave/Producer.h"
#include "wave/ValueRamp.h"
#include "framework/Property.h"

namespace wave {

// Selects one of two inputs; a change of selection crossfades linearly over fadeTime.
class Router : public Source, public PropertyOwner {
public:
    static constexpr int kInputCount = 2;
    static constexpr float kDefaultFadeTime = 20.0f;  // ms

    explicit Router(Environment& env);

    // Setting it crossfades to the new input.
    Property<int>& selection() { return selection_; }
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
    void propertyChanged(const void* property) override;

private:
    struct InputRecord {
        explicit InputRecord(Environment& env) : gain(env, 1.0f) {}
        ValueRamp gain;
        Producer* signal = nullptr;
    };

    void applySelection(float timeMs);

    Property<int> selection_;
    float fadeTime_ = kDefaultFadeTime;
    std::array<InputRecord, kInputCount> inputs_;
};

}  // namespace wave
