#include "modulation/XYControllerSource.h"

#include "framework/FloatParamPluginParameter.h"

XYControllerSource::XYControllerSource(wave::Environment& env) : hor(env, 0.0f), ver(env, 0.0f) {
    hor.ramp().setLimits(kMinimum, kMaximum);
    ver.ramp().setLimits(kMinimum, kMaximum);
}

void XYControllerSource::bind(FloatParamPluginParameter& horizontal,
                              FloatParamPluginParameter& vertical) {
    horizontal.bind(&hor);
    vertical.bind(&ver);
}
