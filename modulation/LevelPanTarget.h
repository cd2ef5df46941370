#pragma once

#include <cstdint>

#include "modulation/ModulationMatrix.h"
#include "wave/FloatParameterSource.h"
#include "wave/MultiProducer.h"

class VoiceMatrix;

// Combines two targets A and B into two signals. LevelPan (level and pan): first =
// A·(1 − max(B, 0)), second = A·(1 + min(B, 0)), a linear balance where panning lowers only the
// other side. CentreSpread: first = A + B, second = A − B.
class LevelPanTarget : public wave::Component, public ModulationMatrix::SecondaryTarget {
public:
    enum class Mode { LevelPan = 0, CentreSpread = 1 };
    class VoiceController;

    // Listens to the base values of both targets.
    LevelPanTarget(ModulationMatrix& matrix, int targetA, int targetB, Mode mode);
    ~LevelPanTarget() override;
    LevelPanTarget(const LevelPanTarget&) = delete;
    LevelPanTarget& operator=(const LevelPanTarget&) = delete;

    static void combine(Mode mode, float a, float b, float& first, float& second);

    // The law applied to the two base values, gliding with the automatic ramp time.
    wave::Producer& globalFirst() { return first_; }
    wave::Producer& globalSecond() { return second_; }

    void targetChanged(int target) override;

    ModulationMatrix& matrix() const { return matrix_; }
    int targetA() const { return a_; }
    int targetB() const { return b_; }
    Mode mode() const { return mode_; }

private:
    void updateRamps(float rampMs);

    ModulationMatrix& matrix_;
    int a_;
    int b_;
    Mode mode_;
    wave::FloatParameterSource first_;
    wave::FloatParameterSource second_;
};

// One voice's two signals: the law applied per sample to the voice's A and B targets.
class LevelPanTarget::VoiceController : public wave::MultiProducer {
public:
    static constexpr int kFirst = 0;
    static constexpr int kSecond = 1;

    VoiceController(LevelPanTarget& target, VoiceMatrix& voice);

    void produceAll(float* const* buffers, const float** outputs, uint32_t frames,
                    uint32_t flags) override;

private:
    LevelPanTarget& target_;
    VoiceMatrix& voice_;
};
