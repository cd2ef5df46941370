#pragma once

#include "wave/FloatParameterSource.h"

class FloatParamPluginParameter;

// The two axes of one XY pad as modulation sources: the ramped values of its " Hor" and " Ver"
// parameters. The ramps span [-1, 1]; a plain new ramp would clamp the left and lower halves.
class XYControllerSource {
public:
    static constexpr float kMinimum = -1.0f;
    static constexpr float kMaximum = 1.0f;

    explicit XYControllerSource(wave::Environment& env);

    // Allocates: bind while building the plug-in.
    void bind(FloatParamPluginParameter& horizontal, FloatParamPluginParameter& vertical);

    wave::FloatParameterSource hor;
    wave::FloatParameterSource ver;
};
