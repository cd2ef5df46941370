#include "framework/StateSnapshot.h"

#include <algorithm>
#include <cmath>

#include "framework/AbstractPluginParameter.h"
#include "framework/GenericPlugin.h"

namespace {
constexpr float kEpsilon = 1.1920929e-7f;
}  // namespace

void captureValues(GenericParameterOwner& owner, std::vector<float>& values) {
    const int count = owner.getParameterCount();
    values.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        values[static_cast<size_t>(i)] = owner.getParameter(i)->getValue();
}

std::vector<float> captureValues(GenericParameterOwner& owner) {
    std::vector<float> values;
    captureValues(owner, values);
    return values;
}

void applyValues(GenericParameterOwner& owner, const std::vector<float>& values) {
    const int count = std::min(owner.getParameterCount(), static_cast<int>(values.size()));
    for (int i = 0; i < count; ++i)
        owner.getParameter(i)->setValue(values[static_cast<size_t>(i)], 0);
}

bool valuesMatch(GenericParameterOwner& owner, const std::vector<float>& values) {
    const int count = owner.getParameterCount();
    if (count != static_cast<int>(values.size())) return false;
    for (int i = 0; i < count; ++i) {
        if (std::fabs(owner.getParameter(i)->getValue() - values[static_cast<size_t>(i)]) >
            kEpsilon)
            return false;
    }
    return true;
}

void captureState(GenericPlugin& plugin, int32_t pluginValue, StateSnapshot& snapshot) {
    const CurrentPreset& preset = plugin.currentPreset();
    snapshot.presetName = preset.name;
    snapshot.presetPath = preset.path;
    snapshot.modified = preset.isModified();
    snapshot.pluginValue = pluginValue;
    captureValues(plugin, snapshot.values);
}

void restoreState(GenericPlugin& plugin, const StateSnapshot& snapshot) {
    plugin.beginUpdate();
    applyValues(plugin, snapshot.values);
    plugin.resetProgramChange();
    plugin.endUpdate();
    plugin.queueResetMarker();

    CurrentPreset& preset = plugin.currentPreset();
    const bool pathChanged = preset.path != snapshot.presetPath;
    preset.name = snapshot.presetName;
    preset.path = snapshot.presetPath;
    if (snapshot.modified) {
        preset.markModified();
    } else {
        preset.clearModified();
    }
    if (pathChanged) plugin.notifyPresetChanged();
}
