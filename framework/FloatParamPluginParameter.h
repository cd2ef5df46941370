#pragma once

#include <vector>

#include "framework/FloatPluginParameter.h"
#include "wave/FloatParameterSource.h"

// Continuous parameter whose engine value becomes the target of ramped sources (automatic glide).
class FloatParamPluginParameter : public FloatPluginParameter {
public:
    using FloatPluginParameter::FloatPluginParameter;

    // Binding allocates: bind while building, never on the audio thread.
    void bind(wave::FloatParameterSource* source) { sources_.push_back(source); }

    void applyValue(float plain) override;

private:
    std::vector<wave::FloatParameterSource*> sources_;
};
