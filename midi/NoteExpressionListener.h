#pragma once

// Receives what arrives on an MPE member channel: the expressions of the notes played there.
// Channels are numbered 1..16.
class NoteExpressionListener {
public:
    virtual ~NoteExpressionListener() = default;
    // After the note was started the usual way.
    virtual void memberNoteOn(int channel, int note, float velocity) = 0;
    // A full bend is `range` semitones each way; bend is -0.5..+0.5.
    virtual void memberPitchBend(int channel, float bend, float range) = 0;
    virtual void memberPressure(int channel, float pressure) = 0;
    virtual void memberController(int channel, int number, int value, float normalized) = 0;
};
