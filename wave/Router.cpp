#include "wave/Router.h"

#include "wave/Assert.h"
#include "wave/MixKernels.h"

namespace wave {

Router::Router(Environment& env) : Source(env), inputs_{InputRecord(env), InputRecord(env)} {}

void Router::setSelection(int index) {
    VORN_ASSERT(index >= 0 && index < kInputCount);
    if (index == selection_) return;
    selection_ = index;
    applySelection(fadeTime_);
}

void Router::selectNow(int index) {
    setSelection(index);
    applySelection(0.0f);
    for (InputRecord& input : inputs_) input.gain.finish();
}

void Router::applySelection(float timeMs) {
    for (int i = 0; i < kInputCount; ++i) {
        inputs_[static_cast<size_t>(i)].gain.setTarget(i == selection_ ? 1.0f : 0.0f, timeMs);
    }
}

bool Router::produce(float* buffer, uint32_t frames, uint32_t flags) {
    if (flags & Environment::kFlagAdvanceOnly) return false;
    mix::SumAccumulator sum(buffer, frames);
    for (InputRecord& input : inputs_) {
        const bool gainConstant = input.gain.render(frames);
        const float* g = input.gain.data();
        if (!input.signal || mix::isZeroGain(g, gainConstant)) continue;
        const float* s = input.signal->pull(frames, flags);
        sum.add(s, input.signal->isConstant(), g, gainConstant);
    }
    setOutput(sum.result(environment().silentBuffer().data()));
    return sum.isConstant();
}

}  // namespace wave
