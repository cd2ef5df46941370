#include "dsp/XLFOFreqController.h"

#include <algorithm>

#include "dsp/XLFO.h"

namespace {

constexpr float kBarsOfFirstMode = 16.0f;
constexpr float kSecondsPerBarAtOneBpm = 240.0f;  // four quarter notes of a minute

}  // namespace

XLFOFreqController::XLFOFreqController(wave::Environment& env, XLFO& xlfo)
    : wave::Producer(env),
      xlfo_(&xlfo),
      defaultFreeFrequency_(env, XLFO::kDefaultFrequency),
      defaultOffset_(env, 1.0f),
      syncFrequency_(env, 0.0f),
      free_(&defaultFreeFrequency_),
      offset_(&defaultOffset_) {
    defaultFreeFrequency_.ramp().setLimits(0.0f, XLFO::kMaxFrequency);
    defaultOffset_.ramp().setLimits(kMinOffset, kMaxOffset);
    syncFrequency_.ramp().setLimits(0.0f, kMaxSyncFrequency);
    xlfo.setFrequencyInput(this);
}

float XLFOFreqController::barsPerCycle(int mode) {
    return kBarsOfFirstMode / static_cast<float>(1 << std::clamp(mode - 1, 0, kModeCount - 2));
}

int XLFOFreqController::mode() const {
    return std::clamp(syncMode.get(), 0, kModeCount - 1);
}

void XLFOFreqController::setTransport(float tempo, double songPosition) {
    tempo_ = tempo;
    songPosition_ = songPosition;
    tempoKnown_ = true;
    applyTempo();
}

void XLFOFreqController::applyTempo() {
    const int m = mode();
    if (m == kFree || !tempoKnown_) return;
    syncFrequency_.setTarget(tempo_ / (barsPerCycle(m) * kSecondsPerBarAtOneBpm));
    pending_ = true;
}

void XLFOFreqController::propertyChanged(const void* property) {
    if (property == &syncMode) applyTempo();
}

bool XLFOFreqController::produce(float* buffer, uint32_t frames, uint32_t /*flags*/) {
    const int m = mode();
    if (m == kFree) {
        setOutput(free_->pull(frames, 0));
        return free_->isConstant();
    }
    const float* sync = syncFrequency_.pull(frames, 0);
    const float* factor = offset_->pull(frames, 0);
    const uint32_t rounded = wave::SampleBuffer::roundUp(frames);
    for (uint32_t i = 0; i < rounded; i += 4) {
        buffer[i] = sync[i] * factor[i];
        buffer[i + 1] = sync[i + 1] * factor[i + 1];
        buffer[i + 2] = sync[i + 2] * factor[i + 2];
        buffer[i + 3] = sync[i + 3] * factor[i + 3];
    }
    if (pending_) {
        // While the factor glides the cycle length moves: re-phase only from a steady factor.
        if (offset_->isConstant()) {
            xlfo_->updateTransport(tempo_, songPosition_, barsPerCycle(m) / factor[0]);
        }
        pending_ = false;
    }
    return syncFrequency_.isConstant() && offset_->isConstant();
}
