#include "engine/NoteExpressions.h"

#include "engine/VornEngine.h"
#include "engine/VornVoice.h"
#include "framework/MidiConstants.h"

namespace {
constexpr int kAnyChannel = -1;
constexpr int kAnyKey = -1;
constexpr float kBendScale = 2.0f;  // bend -0.5..+0.5 covers the range each way
}  // namespace

template <typename Action>
void VornPlugin::NoteExpressions::forEachVoice(int channel, int key, Action action) {
    if (!engine_) return;
    for (auto& voice : engine_->voices) {
        if (voice->isMuted()) continue;
        if (channel != kAnyChannel && voice->expressionChannel() != channel) continue;
        if (key != kAnyKey && voice->note() != key) continue;
        action(*voice);
    }
}

void VornPlugin::NoteExpressions::memberNoteOn(int channel, int note, float /*velocity*/) {
    if (!engine_ || channel < 1 || channel > midi::kChannels) return;
    auto* voice = static_cast<VornVoice*>(engine_->voiceManager.voiceOf(note));
    if (!voice) return;
    // The channel's newest note alone follows it from now on.
    forEachVoice(channel, kAnyKey, [](VornVoice& v) { v.setExpressionChannel(0); });
    const ChannelState& state = channels_[static_cast<size_t>(channel)];
    voice->setExpressionChannel(channel);
    voice->setBend(state.bend, true);
    voice->midiCache().channelPressure(state.pressure);
    if (state.slide >= 0) {
        voice->midiCache().controller(midi::kSlide, state.slide,
                                      static_cast<float>(state.slide) / midi::kMaxDataValue);
    }
}

void VornPlugin::NoteExpressions::memberPitchBend(int channel, float bend, float range) {
    if (channel < 1 || channel > midi::kChannels) return;
    const float semitones = bend * kBendScale * range;
    channels_[static_cast<size_t>(channel)].bend = semitones;
    forEachVoice(channel, kAnyKey, [&](VornVoice& v) { v.setBend(semitones, false); });
}

void VornPlugin::NoteExpressions::memberPressure(int channel, float pressure) {
    if (channel < 1 || channel > midi::kChannels) return;
    channels_[static_cast<size_t>(channel)].pressure = pressure;
    forEachVoice(channel, kAnyKey, [&](VornVoice& v) { v.midiCache().channelPressure(pressure); });
}

void VornPlugin::NoteExpressions::memberController(int channel, int number, int value,
                                                   float normalized) {
    if (channel < 1 || channel > midi::kChannels) return;
    if (number == midi::kSlide) channels_[static_cast<size_t>(channel)].slide = value;
    forEachVoice(channel, kAnyKey, [&](VornVoice& v) {
        v.midiCache().controller(number, value, normalized);
        if (number == midi::kModWheel) v.midiCache().modWheel(normalized);
    });
}

void VornPlugin::NoteExpressions::keyBend(int key, float semitones) {
    forEachVoice(kAnyChannel, key, [&](VornVoice& v) { v.setBend(semitones, false); });
}

void VornPlugin::NoteExpressions::keyPressure(int key, float pressure) {
    forEachVoice(kAnyChannel, key, [&](VornVoice& v) { v.midiCache().channelPressure(pressure); });
}

void VornPlugin::NoteExpressions::keyController(int key, int number, float normalized) {
    const int value = static_cast<int>(normalized * midi::kMaxDataValue + 0.5f);
    forEachVoice(kAnyChannel, key,
                 [&](VornVoice& v) { v.midiCache().controller(number, value, normalized); });
}
