#pragma once

#include <cstdint>

#include "wave/Producer.h"

// The voice as voice allocation sees it. isMuted (from MuteController): silent and reusable; a
// muted voice sounds again only after noteOn.
class NoteVoice : public wave::MuteController {
public:
    // Main envelope output.
    virtual wave::Producer& amplitude() = 0;
    // Output gain of channel 0 (left) or 1 (right), pulled for this chunk.
    virtual const float* outputGain(uint32_t frames, uint32_t flags, int channel) = 0;
    // Filtered audio, 0 left 1 right.
    virtual wave::Producer& channelOutput(int channel) = 0;
    // Called in a chunk before any voice renders, for every voice that will render in it.
    virtual void willRender() {}
    // The note's key is still down.
    virtual bool isHeld() const = 0;
    // glideFrom: the note itself = no glide, 0 = from the current pitch, else from that note.
    virtual void noteOn(float note, int glideFrom, float velocity) = 0;
    virtual void noteOff(float velocity) = 0;
};
