#pragma once

#include <cstdint>

#include "modulation/ModulationMatrix.h"
#include "wave/Producer.h"
#include "wave/ValueRamp.h"

// A voice's modulation tracker: the note it plays and a level that is 1 from the note-on and
// ramps to 0 over the matrix's release time after the note-off. It runs every chunk while its
// level glides (run-list mode 0), so the ramp advances even while no one reads the voice, and
// rests once the level has settled.
class ModulationMatrix::VoiceTracker : public wave::Producer {
public:
    static constexpr int kRunMode = 0;
    static constexpr int kNoNote = -1;
    static constexpr float kMillisecondsPerSecond = 1000.0f;

    explicit VoiceTracker(ModulationMatrix& matrix);

    void start(int note);
    void release();

    int note() const { return note_; }
    bool isReleased() const { return released_; }
    // Released and its level has reached 0.
    bool isFinished() const { return released_ && !level_.isGliding(); }
    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;

private:
    ModulationMatrix& matrix_;
    wave::ValueRamp level_;
    int note_ = kNoNote;
    bool released_ = true;
};
