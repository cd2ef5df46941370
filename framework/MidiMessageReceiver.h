#pragma once

#include "framework/MidiEvent.h"

// Anything that accepts complete MIDI messages: the plug-in core (from the host) and the decoder.
class MidiMessageReceiver {
public:
    virtual ~MidiMessageReceiver() = default;
    virtual void receiveMidi(const MidiEvent& event) = 0;
};
