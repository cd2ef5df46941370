#pragma once

#include <cstdint>

// One queued MIDI message: three bytes (unused data bytes are 0) and the sample offset in the host
// block. Eight bytes, so that it travels through the core's lock-free event queue as one payload.
struct MidiEvent {
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
    uint8_t reserved = 0;
    int32_t offset = 0;
};
static_assert(sizeof(MidiEvent) == 8);
