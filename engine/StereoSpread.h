#pragma once

#include <cstdint>

#include "wave/FloatParameterSource.h"
#include "wave/MultiProducer.h"

// Stereo width stage: width 0 folds to mono, 1 leaves the signal as it is, 2 keeps only the
// side signal (the centre is removed). Outputs 0 left, 1 right.
class StereoSpread : public wave::MultiProducer {
public:
    static constexpr float kMinWidth = 0.0f;
    static constexpr float kMaxWidth = 2.0f;
    static constexpr float kDefaultWidth = 1.0f;

    explicit StereoSpread(wave::Environment& env);

    // Null restores the own width source.
    void setWidthInput(wave::Producer* p) { widthInput_ = p ? p : &width_; }
    wave::FloatParameterSource& width() { return width_; }
    // side 0 left, 1 right; a missing input reads as silence.
    void setInput(int side, wave::Producer* p) { inputs_[side] = p; }

    void produceAll(float* const* buffers, const float** outputs, uint32_t frames,
                    uint32_t flags) override;

private:
    wave::FloatParameterSource width_;
    wave::Producer* widthInput_;
    wave::Producer* inputs_[2] = {nullptr, nullptr};
    const float* silent_;
};
