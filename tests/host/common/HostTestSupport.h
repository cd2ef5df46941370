#pragma once

#include <algorithm>
#include <vector>

#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"

// An engine inside the test binary beside the plug-in module under test, for the parameters' own
// descriptions; made once, without startup presets, and never destroyed.
inline VornPlugin& reference() {
    static VornPlugin* synth = [] {
        VornPresets::setStartupPresets(false);
        return new VornPlugin();
    }();
    return *synth;
}

inline size_t firstNonZero(const std::vector<float>& samples) {
    const auto it = std::find_if(samples.begin(), samples.end(), [](float s) { return s != 0.0f; });
    return static_cast<size_t>(it - samples.begin());
}
