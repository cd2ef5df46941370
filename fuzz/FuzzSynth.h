#pragma once

#include <array>
#include <vector>

#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "fuzz/FuzzInput.h"

// One synthesizer shared by every input of a run: building one takes longer than most inputs
// take to play. Each input starts it over from the built-in defaults, so that an input replays the
// same way alone as in the middle of a run.
inline VornPlugin& sharedSynth() {
    static VornPlugin* instance = [] {
        // No factory install and no "Default Sound": the built-in sound is the starting point.
        VornPresets::setStartupPresets(false);
        return new VornPlugin();
    }();
    return *instance;
}

inline void startOver(VornPlugin& synth, float sampleRate) {
    synth.setBypass(0, false);
    synth.resetProgramChange();
    synth.setSampleRate(sampleRate);
    for (int id = 0; id < synth.getParameterCount(); ++id) {
        AbstractPluginParameter* p = synth.getParameter(id);
        p->setValue(p->getDefault(), GenericPlugin::kFlagFromHost);
    }
    synth.reset();
}

// Plays one host block into `left`/`right` (at least `frames` long), with the side chain when
// given (as long), and checks every sample.
inline void playChecked(VornPlugin& synth, std::vector<float>& left, std::vector<float>& right,
                        int frames, const std::array<std::vector<float>, 2>* sideChain = nullptr) {
    std::array<float*, 2> outputs{left.data(), right.data()};
    std::array<const float*, 2> inputs{};
    if (sideChain) inputs = {(*sideChain)[0].data(), (*sideChain)[1].data()};
    synth.processBlock(sideChain ? inputs.data() : nullptr, sideChain ? 2 : 0, outputs.data(), 2,
                       frames);
    checkOutput(left.data(), frames);
    checkOutput(right.data(), frames);
}
