#include "wave/FloatParameterSource.h"

namespace wave {

namespace {
bool produceFromRamp(ValueRamp& ramp, uint32_t frames, uint32_t flags) {
    if (flags & Environment::kFlagAdvanceOnly) {
        ramp.advance(frames);
        return true;
    }
    return ramp.render(frames);
}
}  // namespace

FloatParameterSource::FloatParameterSource(Environment& env, float initialValue)
    : Source(env, false), ramp_(env, initialValue) {}

bool FloatParameterSource::produce(float* /*buffer*/, uint32_t frames, uint32_t flags) {
    const bool constant = produceFromRamp(ramp_, frames, flags);
    setOutput(ramp_.data());
    return constant;
}

FloatParameterForwarder::FloatParameterForwarder(Environment& env, ValueRamp& ramp)
    : Source(env, false), ramp_(&ramp) {}

bool FloatParameterForwarder::produce(float* /*buffer*/, uint32_t frames, uint32_t flags) {
    const bool constant = produceFromRamp(*ramp_, frames, flags);
    setOutput(ramp_->data());
    return constant;
}

}  // namespace wave
