#include "midi/MidiEncoder.h"

#include <algorithm>
#include <cmath>

#include "framework/MidiConstants.h"
#include "framework/MidiMessageReceiver.h"
#include "wave/Assert.h"

namespace {
// Clamps to 0..1; NaN becomes 0.
float unit(float x) {
    return x > 0.0f ? std::min(x, 1.0f) : 0.0f;
}

int sevenBit(float x) {
    return static_cast<int>(std::lround(static_cast<double>(unit(x)) * midi::kMaxDataValue));
}

int dataByte(int value) {
    return std::clamp(value, 0, midi::kMaxDataValue);
}
}  // namespace

MidiEncoder::MidiEncoder(MidiMessageReceiver* receiver, int channel) : receiver_(receiver) {
    setChannel(channel);
}

void MidiEncoder::setChannel(int channel) {
    channel_ = static_cast<uint8_t>(std::clamp(channel, 1, midi::kChannels));
}

void MidiEncoder::controller(int number, int /*value*/, float normalized) {
    send(midi::kControlChange, dataByte(number), sevenBit(normalized));
}

void MidiEncoder::modWheel(float normalized) {
    controller(midi::kModWheel, 0, normalized);
}

void MidiEncoder::noteOff(int note, float velocity) {
    send(midi::kNoteOff, dataByte(note), sevenBit(velocity));
}

void MidiEncoder::noteOn(int note, float velocity) {
    send(midi::kNoteOn, dataByte(note), sevenBit(velocity));
}

void MidiEncoder::pitchBend(float bend) {
    const int value =
        static_cast<int>(unit(bend + midi::kPitchBendOffset) * midi::kMaxPitchBendValue);
    send(midi::kPitchBend, value & midi::kDataMask, dataByte(value >> midi::kDataBits));
}

void MidiEncoder::send(uint8_t type, int data1, int data2) {
    if (!receiver_) return;
    VORN_ASSERT(channel_ >= 1 && channel_ <= midi::kChannels);
    VORN_ASSERT(data1 >= 0 && data1 <= midi::kDataMask && data2 >= 0 && data2 <= midi::kDataMask);
    MidiEvent event;
    event.status = static_cast<uint8_t>(type | (channel_ - 1));
    event.data1 = static_cast<uint8_t>(data1);
    event.data2 = static_cast<uint8_t>(data2);
    receiver_->receiveMidi(event);
}
