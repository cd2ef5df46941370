#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "framework/MidiMessageReceiver.h"
#include "midi/AbstractMusicEventReceiver.h"
#include "midi/MpeZones.h"
#include "midi/NoteExpressionListener.h"
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

    // MPE: member channels' expressions go to the listener instead of the channel receivers.
    // Both null (the default): every channel is an ordinary one.
    void setMpe(MpeZones* zones, NoteExpressionListener* listener) {
        mpe_ = zones;
        expressions_ = listener;
    }

    // 14-bit bank number selected on a channel index.
    uint32_t bank(int channelIndex) const {
        VORN_ASSERT(channelIndex >= 0 && channelIndex < static_cast<int>(banks_.size()));
        return banks_[channelIndex];
    }

private:
    void dispatch(int channelIndex, uint8_t type, int data1, int data2);
    // True when the message was a member channel's expression and is handled.
    bool dispatchMember(int channel, uint8_t type, int data1, int data2);

    std::unique_ptr<AbstractMusicEventReceiver> ownedReceiver_;
    AbstractMusicEventReceiver* receiver_;
    std::array<uint32_t, AbstractMusicEventReceiver::kChannelIndexes> banks_{};
    MpeZones* mpe_ = nullptr;
    NoteExpressionListener* expressions_ = nullptr;
};
