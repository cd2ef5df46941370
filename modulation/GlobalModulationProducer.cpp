#include "modulation/GlobalModulationProducer.h"

#include <algorithm>

#include "wave/Finite.h"

GlobalModulationProducer::GlobalModulationProducer(ModulationMatrix& matrix, int target)
    : wave::Producer(matrix.environment()), matrix_(matrix), target_(target) {}

bool GlobalModulationProducer::produce(float* buffer, uint32_t frames, uint32_t flags) {
    const ModulationMatrix::Target& rec = matrix_.target(target_);
    return sum(buffer, frames, flags, true, rec.globalOnly);
}

bool GlobalModulationProducer::sum(float* buffer, uint32_t frames, uint32_t flags,
                                   bool foldConstants, bool clamp) {
    const ModulationMatrix::Target& rec = matrix_.target(target_);
    const float* ramp = rec.ramp->pull(frames, flags);
    if (rec.slots.empty()) {
        setOutput(ramp);
        return rec.ramp->isConstant();
    }
    // First pass: pull every input and see whether all of them are constant.
    bool constant = rec.ramp->isConstant();
    for (int j : rec.slots) {
        const ModulationMatrix::Slot& slot = matrix_.slot(j);
        if (slot.state != ModulationMatrix::kStateGlobal) continue;
        wave::Producer& source = *matrix_.source(slot.source).global;
        wave::Producer& amount = matrix_.globalProducer(slot.levelTarget);
        source.pull(frames, flags);
        amount.pull(frames, flags);
        constant = constant && source.isConstant() && amount.isConstant();
    }
    const uint32_t n = constant && foldConstants ? 1 : wave::SampleBuffer::roundUp(frames);
    std::copy(ramp, ramp + n, buffer);
    for (int j : rec.slots) {
        const ModulationMatrix::Slot& slot = matrix_.slot(j);
        if (slot.state != ModulationMatrix::kStateGlobal) continue;
        const wave::Producer& source = *matrix_.source(slot.source).global;
        const wave::Producer& amount = matrix_.globalProducer(slot.levelTarget);
        const float* s = source.outputData();
        const float* a = amount.outputData();
        if (amount.isConstant()) {
            const float k = a[0];
            for (uint32_t i = 0; i < n; ++i) buffer[i] += s[i] * k;
        } else {
            for (uint32_t i = 0; i < n; ++i) buffer[i] += s[i] * a[i];
        }
    }
    if (clamp) {
        const float lo = rec.lower;
        const float hi = rec.upper;
        // A sum that went NaN reads as the lower bound: targets feed indices and pitches.
        for (uint32_t i = 0; i < n; ++i) buffer[i] = wave::clampFinite(buffer[i], lo, hi);
    }
    if (n == 1) std::fill(buffer + 1, buffer + wave::SampleBuffer::roundUp(frames), buffer[0]);
    return constant;
}

bool ModulationMatrix::GlobalAudioProducer::produce(float* buffer, uint32_t frames,
                                                    uint32_t flags) {
    return sum(buffer, frames, flags, false, false);
}
