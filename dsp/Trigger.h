#pragma once

#include <cstdint>
#include <vector>

#include "framework/Property.h"
#include "wave/Producer.h"

// A threshold detector with hysteresis that turns a level signal (the side chain) into gate
// events with sample offsets. Evaluated at most once per chunk; its users read the events.
class Trigger : public PropertyOwner, public wave::Output {
public:
    static constexpr int32_t kOff = 0;
    static constexpr int32_t kOn = 1;
    struct Event {
        int32_t state;   // kOn or kOff
        int32_t offset;  // sample of the chunk at which the gate changes
    };

    static constexpr float kDefaultHoldTime = 15.0f;  // ms
    static constexpr float kDefaultThreshold = 0.9f;
    // The gate closes below this fraction of the threshold.
    static constexpr float kReleaseRatio = 0.5f;
    static constexpr size_t kEventCapacity = 1024;

    explicit Trigger(wave::Environment& env);

    // Pulls the input and finds this chunk's events, unless already done in this chunk.
    void evaluate(uint32_t frames);
    const std::vector<Event>& events() const { return events_; }
    bool isOn() const { return isOn_ != 0; }
    int32_t holdSamples() const { return holdSamples_; }

    void propertyChanged(const void* property) override;

    // The level must stay below the release level for more than this time (ms) to close.
    Property<float> holdTime{this, kDefaultHoldTime};
    Property<bool> enabled{this, true};
    LimitedProperty<float> threshold{this, 0.0f, 1.0f, kDefaultThreshold};

private:
    void updateHoldSamples();

    wave::Environment* env_;
    int32_t isOn_ = 0;
    int32_t belowCount_ = 0;
    int32_t holdSamples_ = 1;
    float holdRate_ = 0.0f;  // sample rate holdSamples_ was computed for
    uint32_t stamp_;
    std::vector<Event> events_;
};
