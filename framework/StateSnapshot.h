#pragma once

#include <cstdint>
#include <string>
#include <vector>

class GenericParameterOwner;
class GenericPlugin;

// A sound state as undo and A/B compare keep it: the current-preset record, one plug-in integer
// (the compare slot at capture time) and every parameter's plain value in id order.
struct StateSnapshot {
    std::string presetName;
    std::string presetPath;
    bool modified = false;
    int32_t pluginValue = 0;
    std::vector<float> values;
};

// Every parameter's value in id order; `values` keeps its capacity.
void captureValues(GenericParameterOwner& owner, std::vector<float>& values);
std::vector<float> captureValues(GenericParameterOwner& owner);
// Sets the first min(size, count) parameters to the stored values.
void applyValues(GenericParameterOwner& owner, const std::vector<float>& values);
// Same count and every value within FLT_EPSILON of the stored one.
bool valuesMatch(GenericParameterOwner& owner, const std::vector<float>& values);

void captureState(GenericPlugin& plugin, int32_t pluginValue, StateSnapshot& snapshot);
// Applies the values in one batch, drops a pending program change, queues the reset marker so
// the engine jumps to the new values, takes over the preset record and, when the preset path
// changed, tells the host adapter and the editor.
void restoreState(GenericPlugin& plugin, const StateSnapshot& snapshot);
