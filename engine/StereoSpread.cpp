#include "engine/StereoSpread.h"

#include <algorithm>

StereoSpread::StereoSpread(wave::Environment& env)
    : wave::MultiProducer(env, 2),
      width_(env, kDefaultWidth),
      widthInput_(&width_),
      silent_(env.silentBuffer().data()) {
    width_.ramp().setLimits(kMinWidth, kMaxWidth);
}

void StereoSpread::produceAll(float* const* buffers, const float** outputs, uint32_t frames,
                              uint32_t flags) {
    if (flags & wave::Environment::kFlagAdvanceOnly) {
        outputs[0] = outputs[1] = silent_;
        return;
    }
    const float* s = widthInput_->pull(frames, flags);
    const float* l = inputs_[0] ? inputs_[0]->pull(frames, flags) : silent_;
    const float* r = inputs_[1] ? inputs_[1]->pull(frames, flags) : silent_;
    if (l == silent_ && r == silent_) {
        outputs[0] = outputs[1] = silent_;
        return;
    }
    float* left = buffers[0];
    float* right = buffers[1];
    const uint32_t rounded = (frames + 3u) & ~3u;
    for (uint32_t i = 0; i < rounded; ++i) {
        const float side = (l[i] - r[i]) * 0.5f;
        const float mid = l[i] - side;
        // Beyond 1 the width widens by fading the centre out.
        const float centre = 1.0f - std::max(s[i] - 1.0f, 0.0f);
        left[i] = centre * mid + s[i] * side;
        right[i] = centre * mid - s[i] * side;
    }
}
