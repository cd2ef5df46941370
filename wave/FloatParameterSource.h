#pragma once

#include "wave/Producer.h"
#include "wave/ValueRamp.h"

namespace wave {

// Turns a parameter value into a gliding control signal; its output is the ramp's buffer.
class FloatParameterSource : public Source {
public:
    FloatParameterSource(Environment& env, float initialValue);

    void setTarget(float value, float timeMs = -1.0f) { ramp_.setTarget(value, timeMs); }
    float target() const { return ramp_.target(); }
    ValueRamp& ramp() { return ramp_; }
    const ValueRamp& ramp() const { return ramp_; }

    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;

private:
    ValueRamp ramp_;
};

// Outputs a ramp owned elsewhere, so that consumers in different places share one glide.
class FloatParameterForwarder : public Source {
public:
    FloatParameterForwarder(Environment& env, ValueRamp& ramp);

    void setRamp(ValueRamp& ramp) { ramp_ = &ramp; }
    ValueRamp& ramp() { return *ramp_; }

    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;

private:
    ValueRamp* ramp_;
};

}  // namespace wave
