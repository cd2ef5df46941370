#pragma once

#include <cstdint>

#include "midi/MidiListener.h"

class MidiMessageReceiver;

// Turns events produced inside the plug-in (the on-screen keyboard) back into MIDI messages on
// one channel, so that they take the same path as the host's MIDI. Pressures are not encoded.
class MidiEncoder : public MidiListener {
public:
    static constexpr int kDefaultChannel = 1;

    explicit MidiEncoder(MidiMessageReceiver* receiver, int channel = kDefaultChannel);

    void controller(int number, int value, float normalized) override;
    void modWheel(float normalized) override;
    void noteOff(int note, float velocity) override;
    void noteOn(int note, float velocity) override;
    void pitchBend(float bend) override;

    // MIDI channel 1..16; clamped.
    void setChannel(int channel);
    int channel() const { return channel_; }
    void setReceiver(MidiMessageReceiver* receiver) { receiver_ = receiver; }

private:
    void send(uint8_t type, int data1, int data2);

    MidiMessageReceiver* receiver_;
    uint8_t channel_ = kDefaultChannel;
};
