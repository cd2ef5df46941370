#include "framework/FloatParamPluginParameter.h"

void FloatParamPluginParameter::applyValue(float plain) {
    const float engine = engineValue(plain);
    for (wave::FloatParameterSource* source : sources_) source->setTarget(engine, -1.0f);
}
