#include "modulation/VoiceTracker.h"

#include <algorithm>

ModulationMatrix::VoiceTracker::VoiceTracker(ModulationMatrix& matrix)
    : wave::Producer(matrix.environment()), matrix_(matrix), level_(matrix.environment(), 0.0f) {
    level_.setLimits(0.0f, 1.0f);
    matrix.environment().registerRun(this, kRunMode);
}

void ModulationMatrix::VoiceTracker::start(int note) {
    note_ = note;
    released_ = false;
    level_.setTarget(1.0f, 0.0f);
    setResting(false);
}

void ModulationMatrix::VoiceTracker::release() {
    if (released_) return;
    released_ = true;
    level_.setTarget(0.0f, matrix_.releaseTime() * kMillisecondsPerSecond);
    setResting(false);
}

bool ModulationMatrix::VoiceTracker::produce(float* /*buffer*/, uint32_t frames, uint32_t) {
    const bool constant = level_.render(frames);
    // The ramp's buffer holds the chunk until the next render: no copy.
    setOutput(level_.data());
    // A settled level needs no chunk until its next target: the ramp catches up by the clock.
    setResting(!level_.isGliding());
    return constant;
}
