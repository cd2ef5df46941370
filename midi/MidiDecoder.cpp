#include "midi/MidiDecoder.h"

#include "framework/MidiConstants.h"
#include "midi/AbstractChannelEventReceiver.h"
#include "wave/Assert.h"

namespace {
constexpr uint32_t kBankLsbMask = 0x7F;
constexpr uint32_t kBankMsbMask = 0x3F80;

float sevenBit(int value) {
    return static_cast<float>(value) / midi::kMaxDataValue;
}
float pitchBendValue(int data1, int data2) {
    const int value = (data2 << midi::kDataBits) + data1;
    return static_cast<float>(value) / midi::kMaxPitchBendValue - midi::kPitchBendOffset;
}

}  // namespace

void MidiDecoder::receive(uint8_t status, uint8_t data1, uint8_t data2) {
    if (!receiver_) return;
    if (auto* all = receiver_->channelReceiver(AbstractMusicEventReceiver::kAllChannels)) {
        all->rawMessage(status, data1, data2);
    }
    if (status >= midi::kNoteOff && status < midi::kFirstSystemMessage) {
        // Masking keeps a stray status byte in a data position from leaving the 7-bit ranges.
        const uint8_t type = status & midi::kTypeMask;
        const int d1 = data1 & midi::kDataMask;
        const int d2 = data2 & midi::kDataMask;
        const int channel = (status & midi::kChannelMask) + 1;
        if (mpe_ && type == midi::kControlChange) mpe_->controller(channel, d1, d2);
        if (dispatchMember(channel, type, d1, d2)) return;
        dispatch(AbstractMusicEventReceiver::kAllChannels, type, d1, d2);
        dispatch(channel, type, d1, d2);
        if (type == midi::kNoteOn && d2 > 0 && mpe_ && expressions_ && mpe_->isMember(channel))
            expressions_->memberNoteOn(channel, d1, sevenBit(d2));
    } else if (status == midi::kSystemReset) {
        if (auto* handler = receiver_->systemHandler()) handler->reset();
    }
}

bool MidiDecoder::dispatchMember(int channel, uint8_t type, int data1, int data2) {
    if (!mpe_ || !expressions_) return false;
    const int manager = mpe_->zoneOf(channel);
    if (manager == 0) return false;
    switch (type) {
        case midi::kPitchBend:
            expressions_->memberPitchBend(channel, pitchBendValue(data1, data2),
                                          mpe_->memberBendRange(manager));
            return true;
        case midi::kChannelPressure:
            expressions_->memberPressure(channel, sevenBit(data1));
            return true;
        case midi::kControlChange:
            // All notes off stays a channel message; the rest belongs to the channel's notes.
            if (data1 == midi::kAllNotesOff) return false;
            expressions_->memberController(channel, data1, data2, sevenBit(data2));
            return true;
        default:
            return false;
    }
}

void MidiDecoder::dispatch(int channelIndex, uint8_t type, int data1, int data2) {
    AbstractChannelEventReceiver* r = receiver_->channelReceiver(channelIndex);
    if (!r) return;
    // Data bytes arrive masked to seven bits.
    VORN_ASSERT(data1 >= 0 && data1 <= midi::kDataMask && data2 >= 0 && data2 <= midi::kDataMask);
    uint32_t& bank = banks_[channelIndex];
    switch (type) {
        case midi::kNoteOff:
            r->noteOff(data1, sevenBit(data2));
            break;
        case midi::kNoteOn:
            if (data2 == 0) {
                r->noteOff(data1, 0.0f);
            } else {
                r->noteOn(data1, sevenBit(data2));
            }
            break;
        case midi::kPolyPressure:
            r->polyPressure(data1, sevenBit(data2));
            break;
        case midi::kControlChange:
            if (data1 == midi::kBankSelectMsb) {
                bank = (static_cast<uint32_t>(data2) << midi::kDataBits) + (bank & kBankLsbMask);
            } else if (data1 == midi::kBankSelectLsb) {
                bank = (bank & kBankMsbMask) + static_cast<uint32_t>(data2);
            } else if (data1 == midi::kAllNotesOff) {
                r->noteOff(midi::kAllNotes, 0.0f);
            } else {
                r->controller(data1, data2, sevenBit(data2));
            }
            break;
        case midi::kProgramChange:
            r->programChange(static_cast<int>(bank), data1);
            break;
        case midi::kChannelPressure:
            r->channelPressure(sevenBit(data1));
            break;
        case midi::kPitchBend:
            r->pitchBend(pitchBendValue(data1, data2));
            break;
    }
}
