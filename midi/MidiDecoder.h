#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "framework/MidiMessageReceiver.h"
#include "midi/AbstractMusicEventReceiver.h"
#include "wave/Assert.h"

// Turns complete three-byte MIDI messages into calls on the channel receivers of an event
// receiver. Channel messages go to the all-channels slot first, then to their channel's slot.
class MidiDecoder : public MidiMessageReceiver {
public:
    explicit MidiDecoder(AbstractMusicEventReceiver* receiver) : receiver_(receiver) {}
    // Owns its receiver: the plug-in core holds the pair as one decoder.
    explicit MidiDecoder(std::unique_ptr<AbstractMusicEventReceiver> receiver)
        : ownedReceiver_(std::move(receiver)), receiver_(ownedReceiver_.get()) {}

    void receiveMidi(const MidiEvent& event) override {
        receive(event.status, event.data1, event.data2);
    }
    // Audio thread. Bytes the message does not use are ignored.
    void receive(uint8_t status, uint8_t data1, uint8_t data2);

    // 14-bit bank number selected on a channel index.
    uint32_t bank(int channelIndex) const {
        VORN_ASSERT(channelIndex >= 0 && channelIndex < static_cast<int>(banks_.size()));
        return banks_[channelIndex];
    }

private:
    void dispatch(int channelIndex, uint8_t type, int data1, int data2);

    std::unique_ptr<AbstractMusicEventReceiver> ownedReceiver_;
    AbstractMusicEventReceiver* receiver_;
    std::array<uint32_t, AbstractMusicEventReceiver::kChannelIndexes> banks_{};
};
