#pragma once

#include <array>
#include <vector>

#include "framework/IndexedPluginParameter.h"
#include "wave/FloatParameterSource.h"

// An on/off parameter that drives ramped sources: off and on map to two floats (0 and 1 unless
// a table is set), which become the sources' targets with the automatic glide.
class ToggleFloatPluginParameter : public IndexedPluginParameter<bool> {
public:
    ToggleFloatPluginParameter(GenericParameterOwner* owner, const std::string& name);

    // Binding allocates: bind while building, never on the audio thread.
    void bind(wave::FloatParameterSource* source) { sources_.push_back(source); }
    void setValueTable(float off, float on);

    void applyValue(float plain) override;

private:
    std::vector<wave::FloatParameterSource*> sources_;
    std::array<float, 2> table_{0.0f, 1.0f};
};
