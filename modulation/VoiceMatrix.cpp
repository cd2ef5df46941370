#include "modulation/VoiceMatrix.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "wave/Assert.h"
#include "wave/Finite.h"

VoiceMatrix::VoiceMatrix(ModulationMatrix& matrix)
    : matrix_(matrix), instances_(static_cast<size_t>(kSourceSets * matrix.sourceCount())) {
    targets_.reserve(static_cast<size_t>(matrix.targetCount()));
    for (int t = 0; t < matrix.targetCount(); ++t) {
        targets_.push_back(std::make_unique<TargetController>(*this, t));
    }
}

VoiceMatrix::~VoiceMatrix() = default;

void VoiceMatrix::setSourceInstance(int index, wave::Producer* instance) {
    // A source's own instance, or from sourceCount() on its alternate one.
    VORN_ASSERT(index >= 0 && static_cast<size_t>(index) < instances_.size());
    instances_[static_cast<size_t>(index)] = instance;
}

wave::Producer* VoiceMatrix::sourceFor(int source, bool alternate) const {
    VORN_ASSERT(source >= 0 && source < matrix_.sourceCount());
    const int index = source + (alternate ? matrix_.sourceCount() : 0);
    wave::Producer* p = instances_[static_cast<size_t>(index)];
    if (!p && alternate) p = instances_[static_cast<size_t>(source)];
    return p ? p : matrix_.source(source).global;
}

wave::Producer& VoiceMatrix::target(int t) const {
    VORN_ASSERT(t >= 0 && static_cast<size_t>(t) < targets_.size());
    return *targets_[static_cast<size_t>(t)];
}

VoiceMatrix::TargetController::TargetController(VoiceMatrix& voice, int target)
    : wave::Producer(voice.matrix().environment()), voice_(voice), target_(target) {}

bool VoiceMatrix::TargetController::singleSlot(const ModulationMatrix::Slot& slot,
                                               const ModulationMatrix::Target& rec, float* buffer,
                                               uint32_t frames, uint32_t flags) {
    wave::Producer* source = voice_.sourceFor(slot.source, rec.alternateSource);
    if (!source) {
        setOutput(voice_.matrix().environment().silentBuffer().data());
        return true;
    }
    const float* s = source->pull(frames, flags);
    wave::Producer& amount = voice_.target(slot.levelTarget);
    const float* a = amount.pull(frames, flags);
    const uint32_t n = wave::SampleBuffer::roundUp(frames);
    if (!amount.isConstant()) {
        for (uint32_t i = 0; i < n; ++i) buffer[i] = s[i] * a[i];
        return false;
    }
    const float k = a[0];
    if (std::fabs(k - 1.0f) <= wave::Environment::kEpsilon) {
        setOutput(s);
        return source->isConstant();
    }
    for (uint32_t i = 0; i < n; ++i) buffer[i] = s[i] * k;
    return source->isConstant();
}

bool VoiceMatrix::TargetController::pullSlots(const ModulationMatrix::Target& rec, uint32_t frames,
                                              uint32_t flags) {
    const ModulationMatrix& matrix = voice_.matrix();
    wave::Producer& global = matrix.globalProducer(target_);
    global.pull(frames, flags);
    bool constant = global.isConstant();
    for (int j : rec.slots) {
        const ModulationMatrix::Slot& slot = matrix.slot(j);
        if (slot.state != ModulationMatrix::kStatePerVoice) continue;
        wave::Producer* source = voice_.sourceFor(slot.source, rec.alternateSource);
        if (!source) continue;
        source->pull(frames, flags);
        wave::Producer& amount = voice_.target(slot.levelTarget);
        amount.pull(frames, flags);
        constant = constant && source->isConstant() && amount.isConstant();
    }
    return constant;
}

void VoiceMatrix::TargetController::produceConstant(const ModulationMatrix::Target& rec,
                                                    float* buffer, uint32_t frames) {
    // The same additions as the per-sample loops below, for sample 0.
    const ModulationMatrix& matrix = voice_.matrix();
    float value = matrix.globalProducer(target_).outputData()[0];
    for (int j : rec.slots) {
        const ModulationMatrix::Slot& slot = matrix.slot(j);
        if (slot.state != ModulationMatrix::kStatePerVoice) continue;
        wave::Producer* source = voice_.sourceFor(slot.source, rec.alternateSource);
        if (!source) continue;
        value += source->outputData()[0] * voice_.target(slot.levelTarget).outputData()[0];
    }
    if (rec.kind != ModulationMatrix::kKindAudio) {
        value = wave::clampFinite(value, rec.lower, rec.upper);
    }
    const uint32_t n = wave::SampleBuffer::roundUp(frames);
    if (filled_ >= n && std::memcmp(&value, &filledValue_, sizeof value) == 0) return;
    std::fill(buffer, buffer + n, value);
    filled_ = n;
    filledValue_ = value;
}

bool VoiceMatrix::TargetController::produce(float* buffer, uint32_t frames, uint32_t flags) {
    const ModulationMatrix& matrix = voice_.matrix();
    const ModulationMatrix::Target& rec = matrix.target(target_);
    wave::Producer& global = matrix.globalProducer(target_);
    if (rec.globalOnly) {
        setOutput(global.pull(frames, flags));
        return global.isConstant();
    }
    if (rec.kind == ModulationMatrix::kKindAudio && rec.slots.size() == 1) {
        filled_ = 0;
        return singleSlot(matrix.slot(rec.slots.front()), rec, buffer, frames, flags);
    }
    if (pullSlots(rec, frames, flags)) {
        produceConstant(rec, buffer, frames);
        return true;
    }
    filled_ = 0;
    const float* g = global.pull(frames, flags);
    bool constant = global.isConstant();
    const uint32_t n = wave::SampleBuffer::roundUp(frames);
    std::copy(g, g + n, buffer);
    for (int j : rec.slots) {
        const ModulationMatrix::Slot& slot = matrix.slot(j);
        if (slot.state != ModulationMatrix::kStatePerVoice) continue;
        wave::Producer* source = voice_.sourceFor(slot.source, rec.alternateSource);
        if (!source) continue;
        const float* s = source->pull(frames, flags);
        wave::Producer& amount = voice_.target(slot.levelTarget);
        const float* a = amount.pull(frames, flags);
        constant = constant && source->isConstant() && amount.isConstant();
        if (amount.isConstant()) {
            const float k = a[0];
            for (uint32_t i = 0; i < n; ++i) buffer[i] += s[i] * k;
        } else {
            for (uint32_t i = 0; i < n; ++i) buffer[i] += s[i] * a[i];
        }
    }
    if (rec.kind != ModulationMatrix::kKindAudio) {
        const float lo = rec.lower;
        const float hi = rec.upper;
        // A sum that went NaN reads as the lower bound: targets feed indices and pitches.
        for (uint32_t i = 0; i < n; ++i) buffer[i] = wave::clampFinite(buffer[i], lo, hi);
    }
    return constant;
}
