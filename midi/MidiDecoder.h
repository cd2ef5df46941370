#pragma once

#include <array>
#include <cstdint>

#include "midi/AbstractMusicEventReceiver.h"
#include "midi/MidiMessageReceiver.h"

// Turns complete three-byte MIDI messages into calls on the channel receivers of an event
// receiver. Channel messages go to the all-channels slot first, then to their channel's slot.
class MidiDecoder : public MidiMessageReceiver {
public:
    explicit MidiDecoder(AbstractMusicEventReceiver* receiver) : receiver_(receiver) {}

    void receiveMidi(const MidiEvent& event) override {
        receive(event.status, event.data1, event.data2);
    }
    // Audio thread. Bytes the message does not use are ignored.
    void receive(uint8_t status, uint8_t data1, uint8_t data2);

    // 14-bit bank number selected on a channel index.
    uint32_t bank(int channelIndex) const { return banks_[channelIndex]; }

private:
    void dispatch(int channelIndex, uint8_t type, int data1, int data2);

    AbstractMusicEventReceiver* receiver_;
    std::array<uint32_t, AbstractMusicEventReceiver::kChannelIndexes> banks_{};
};
