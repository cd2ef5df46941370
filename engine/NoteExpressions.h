#pragma once

#include <array>

#include "engine/VornPlugin.h"
#include "framework/MidiConstants.h"
#include "midi/NoteExpressionListener.h"

// Per-note expressions: the member channels of MPE, and a host's note expressions. A member
// channel's bend moves the pitch of the note playing there, its pressure and controllers reach
// that voice's MIDI sources only (as aftertouch and controllers); values sent before the note
// starts are its initial ones. Audio thread.
class VornPlugin::NoteExpressions : public NoteExpressionListener {
public:
    // Valid once the engine exists.
    void attach(Engine* engine) { engine_ = engine; }

    void memberNoteOn(int channel, int note, float velocity) override;
    void memberPitchBend(int channel, float bend, float range) override;
    void memberPressure(int channel, float pressure) override;
    void memberController(int channel, int number, int value, float normalized) override;

    // A host's expressions of every voice playing the key.
    void keyBend(int key, float semitones);
    void keyPressure(int key, float pressure);
    void keyController(int key, int number, float normalized);

private:
    struct ChannelState {
        float bend = 0.0f;  // semitones
        float pressure = 0.0f;
        int slide = -1;  // the last controller 74 value, -1 before the first
    };

    template <typename Action>
    void forEachVoice(int channel, int key, Action action);

    Engine* engine_ = nullptr;
    std::array<ChannelState, midi::kChannels + 1> channels_{};  // by channel 1..16
};
