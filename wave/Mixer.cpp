#include "wave/Mixer.h"

#include <algorithm>

namespace wave {

namespace {
constexpr float kInitialGain = 1.0f;
}  // namespace

Mixer::Mixer(Environment& env, int inputCount) : Source(env) {
    setInputCount(inputCount);
}

Mixer::~Mixer() = default;

void Mixer::setGain(int index, Producer* gain) {
    InputRecord& r = record(index);
    r.gain = gain ? gain : r.ownGain.get();
}

void Mixer::setInputCount(int count) {
    if (count == inputCount_) return;
    inputCount_ = count;
    resize(std::max(count, 0));
}

void Mixer::resize(int count) {
    const auto wanted = static_cast<size_t>(count);
    while (records_.size() < wanted) {
        InputRecord r;
        r.ownGain = std::make_unique<FloatParameterSource>(environment(), kInitialGain);
        r.gain = r.ownGain.get();
        records_.push_back(std::move(r));
    }
    // Dropped records are cleared now so that a later growth finds them as new.
    for (size_t i = wanted; i < records_.size(); ++i) {
        InputRecord& r = records_[i];
        r.gain = r.ownGain.get();
        r.signal = nullptr;
        r.ownGain->setTarget(kInitialGain, 0.0f);
        r.ownGain->ramp().finish();
    }
}

bool Mixer::produce(float* buffer, uint32_t frames, uint32_t flags) {
    if (flags & Environment::kFlagAdvanceOnly) return false;
    const int m = mode_;
    if (m < 1 || m > static_cast<int>(MixMode::kMinimum)) return produceSum(buffer, frames, flags);
    return produceCombined(static_cast<MixMode>(m), buffer, frames, flags);
}

bool Mixer::produceSum(float* buffer, uint32_t frames, uint32_t flags) {
    mix::SumAccumulator sum(buffer, frames);
    const float* silent = environment().silentBuffer().data();
    const auto count = static_cast<size_t>(inputCount_);
    for (size_t i = 0; i < count; ++i) {
        const InputRecord& r = records_[i];
        if (!r.signal) continue;
        const float* g = r.gain->pull(frames, flags);
        const bool gainConstant = r.gain->isConstant();
        if (mix::isZeroGain(g, gainConstant)) continue;
        const float* s = r.signal->pull(frames, flags);
        // Silence adds nothing: a sum of silent inputs stays the silent buffer.
        if (s == silent) continue;
        sum.add(s, r.signal->isConstant(), g, gainConstant);
    }
    setOutput(sum.result(silent));
    return sum.isConstant();
}

bool Mixer::produceCombined(MixMode mode, float* buffer, uint32_t frames, uint32_t flags) {
    bool any = false;
    bool constant = true;
    const auto count = static_cast<size_t>(inputCount_);
    for (size_t i = 0; i < count; ++i) {
        const InputRecord& r = records_[i];
        if (!r.signal) continue;
        const float* g = r.gain->pull(frames, flags);
        const bool gainConstant = r.gain->isConstant();
        const float* s = r.signal->pull(frames, flags);
        constant = constant && gainConstant && r.signal->isConstant();
        if (any) {
            mix::further(mode, buffer, s, g, gainConstant, frames, heldRatio_);
        } else {
            mix::first(mode, buffer, s, g, gainConstant, frames);
            any = true;
        }
    }
    if (!any) setOutput(environment().silentBuffer().data());
    return constant;
}

}  // namespace wave
