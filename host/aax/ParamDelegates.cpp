#include "host/aax/ParamDelegates.h"

#include <algorithm>

float ParamTaperDelegate<float>::ConstrainRealValue(float value) const {
    return std::clamp(value, parameter_.getMinimum(), parameter_.getMaximum());
}

float ParamTaperDelegate<float>::NormalizedToReal(double normalized) const {
    return ConstrainRealValue(parameter_.normalizedToPlain(static_cast<float>(normalized)));
}

double ParamTaperDelegate<float>::RealToNormalized(float value) const {
    return parameter_.plainToNormalized(ConstrainRealValue(value));
}

bool ParamDisplayDelegate<float>::ValueToString(float value, int32_t maxLength,
                                                std::string* text) const {
    *text = parameter_.formatValue(value).substr(0, static_cast<size_t>(std::max(maxLength, 0)));
    return true;
}

bool ParamDisplayDelegate<float>::StringToValue(const std::string& text, float* value) const {
    return parameter_.parseText(text, value);
}

bool ParamDisplayDelegate<int32_t>::ValueToString(int32_t state, int32_t maxLength,
                                                  std::string* text) const {
    const float plain = static_cast<float>(minimum() + state);
    *text = parameter_.formatValue(plain).substr(0, static_cast<size_t>(std::max(maxLength, 0)));
    return true;
}

bool ParamDisplayDelegate<int32_t>::StringToValue(const std::string& text, int32_t* state) const {
    float plain = 0.0f;
    if (!parameter_.parseText(text, &plain)) return false;
    *state = static_cast<int32_t>(plain) - minimum();
    return true;
}
