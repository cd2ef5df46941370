#pragma once

#include "modulation/ModulationMatrix.h"
#include "wave/Producer.h"

// The signal of one target for all voices: the target ramp plus every slot with a global
// contribution, once per block. When every input is constant only one sample is computed.
class GlobalModulationProducer : public wave::Producer {
public:
    GlobalModulationProducer(ModulationMatrix& matrix, int target);

    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;

protected:
    // foldConstants false: every sample is summed, as audio-rate targets need.
    bool sum(float* buffer, uint32_t frames, uint32_t flags, bool foldConstants, bool clamp);

    ModulationMatrix& matrix_;
    int target_;
};

// The global signal of a kind-1 (audio-rate) target: summed per sample and never clamped.
class ModulationMatrix::GlobalAudioProducer : public GlobalModulationProducer {
public:
    using GlobalModulationProducer::GlobalModulationProducer;

    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;
};
