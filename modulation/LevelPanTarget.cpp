#include "modulation/LevelPanTarget.h"

#include <algorithm>
#include <cmath>

#include "modulation/VoiceMatrix.h"
#include "wave/SampleBuffer.h"

namespace {
constexpr float kAutomaticRamp = -1.0f;
constexpr float kImmediate = 0.0f;
}  // namespace

LevelPanTarget::LevelPanTarget(ModulationMatrix& matrix, int targetA, int targetB, Mode mode)
    : matrix_(matrix),
      a_(targetA),
      b_(targetB),
      mode_(mode),
      first_(matrix.environment(), 0.0f),
      second_(matrix.environment(), 0.0f) {
    // The outputs can reach A's bounds widened by B's largest magnitude.
    const ModulationMatrix::Target& a = matrix.target(a_);
    const ModulationMatrix::Target& b = matrix.target(b_);
    const float spread =
        mode_ == Mode::CentreSpread ? std::max(std::fabs(b.lower), std::fabs(b.upper)) : 0.0f;
    const float lo = std::min(a.lower, 0.0f) - spread;
    const float hi = a.upper + spread;
    first_.ramp().setLimits(lo, hi);
    second_.ramp().setLimits(lo, hi);
    matrix.setTargetListener(a_, this);
    matrix.setTargetListener(b_, this);
    updateRamps(kImmediate);
}

LevelPanTarget::~LevelPanTarget() {
    for (int t : {a_, b_}) {
        if (matrix_.target(t).listener == this) matrix_.setTargetListener(t, nullptr);
    }
}

void LevelPanTarget::combine(Mode mode, float a, float b, float& first, float& second) {
    if (mode == Mode::LevelPan) {
        first = a * (1.0f - std::max(b, 0.0f));
        second = a * (1.0f + std::min(b, 0.0f));
    } else {
        first = a + b;
        second = a - b;
    }
}

void LevelPanTarget::targetChanged(int target) {
    if (target == a_ || target == b_) updateRamps(kAutomaticRamp);
}

void LevelPanTarget::updateRamps(float rampMs) {
    float first = 0.0f;
    float second = 0.0f;
    combine(mode_, matrix_.target(a_).base, matrix_.target(b_).base, first, second);
    first_.setTarget(first, rampMs);
    second_.setTarget(second, rampMs);
}

LevelPanTarget::VoiceController::VoiceController(LevelPanTarget& target, VoiceMatrix& voice)
    : wave::MultiProducer(target.matrix().environment()), target_(target), voice_(voice) {}

void LevelPanTarget::VoiceController::produceAll(float* const* buffers, const float** outputs,
                                                 uint32_t frames, uint32_t flags) {
    const ModulationMatrix& matrix = target_.matrix();
    wave::Producer& bSignal = voice_.target(target_.targetB());
    const float* b = bSignal.pull(frames, flags);
    wave::Producer& aSignal = voice_.target(target_.targetA());
    // Cut-offs report constant blocks, so that the filters make one control point a block; the
    // oscillators and the output level keep their paths for any level.
    const bool reportConstant = target_.mode() == Mode::CentreSpread;
    if (bSignal.isConstant() && std::fabs(b[0]) <= wave::Environment::kEpsilon) {
        const float* a = aSignal.pull(frames, flags);
        outputs[kFirst] = a;
        outputs[kSecond] = a;
        setOutputConstant(kFirst, reportConstant && aSignal.isConstant());
        setOutputConstant(kSecond, reportConstant && aSignal.isConstant());
        return;
    }
    if (matrix.target(target_.targetA()).slots.empty() &&
        matrix.target(target_.targetB()).slots.empty()) {
        outputs[kFirst] = target_.globalFirst().pull(frames, flags);
        outputs[kSecond] = target_.globalSecond().pull(frames, flags);
        setOutputConstant(kFirst, reportConstant && target_.globalFirst().isConstant());
        setOutputConstant(kSecond, reportConstant && target_.globalSecond().isConstant());
        return;
    }
    const float* a = aSignal.pull(frames, flags);
    const bool constant = reportConstant && aSignal.isConstant() && bSignal.isConstant();
    setOutputConstant(kFirst, constant);
    setOutputConstant(kSecond, constant);
    float* first = buffers[kFirst];
    float* second = buffers[kSecond];
    const uint32_t n = wave::SampleBuffer::roundUp(frames);
    if (target_.mode() == Mode::LevelPan) {
        for (uint32_t i = 0; i < n; ++i) {
            first[i] = a[i] * (1.0f - std::max(b[i], 0.0f));
            second[i] = a[i] * (1.0f + std::min(b[i], 0.0f));
        }
    } else {
        for (uint32_t i = 0; i < n; ++i) {
            first[i] = a[i] + b[i];
            second[i] = a[i] - b[i];
        }
    }
}
