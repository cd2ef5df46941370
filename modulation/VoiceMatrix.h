#pragma once

#include <array>
#include <memory>
#include <vector>

#include "modulation/ModulationMatrix.h"
#include "wave/Producer.h"

// One voice's view of the matrix: its own instances of the per-voice sources and one signal
// per target, which adds the per-voice slots to the target's global signal.
class VoiceMatrix {
public:
    class TargetController;

    // Two sets of source instances; targets with the alternate-source flag read the second.
    static constexpr int kSourceSets = 2;

    VoiceMatrix(ModulationMatrix& matrix);
    ~VoiceMatrix();
    VoiceMatrix(const VoiceMatrix&) = delete;
    VoiceMatrix& operator=(const VoiceMatrix&) = delete;

    // index: source number, plus the source count for the alternate set.
    void setSourceInstance(int index, wave::Producer* instance);
    // The voice's instance, else the source's global object, else null.
    wave::Producer* sourceFor(int source, bool alternate) const;

    wave::Producer& target(int t) const;
    ModulationMatrix& matrix() const { return matrix_; }

private:
    ModulationMatrix& matrix_;
    std::vector<wave::Producer*> instances_;
    std::vector<std::unique_ptr<TargetController>> targets_;
};

// The signal of one target in one voice, computed every block.
class VoiceMatrix::TargetController : public wave::Producer {
public:
    TargetController(VoiceMatrix& voice, int target);

    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;

private:
    bool singleSlot(const ModulationMatrix::Slot& slot, const ModulationMatrix::Target& rec,
                    float* buffer, uint32_t frames, uint32_t flags);
    // Pulls the global part and the per-voice slots; true when all of them are constant.
    bool pullSlots(const ModulationMatrix::Target& rec, uint32_t frames, uint32_t flags);
    // The sum of constant inputs, computed once; the buffer is filled only when it changes.
    void produceConstant(const ModulationMatrix::Target& rec, float* buffer, uint32_t frames);

    VoiceMatrix& voice_;
    int target_;
    uint32_t filled_ = 0;  // leading samples of the buffer that hold filledValue_
    float filledValue_ = 0.0f;
};
