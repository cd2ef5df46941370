#pragma once

// Receives decoded MIDI events with normalised values (velocities and pressures 0..1, pitch bend
// -0.5..+0.5). Every operation does nothing by default, so listeners override only what they use.
class MidiListener {
public:
    virtual ~MidiListener() = default;
    virtual void channelPressure(float /*pressure*/) {}
    virtual void polyPressure(int /*note*/, float /*pressure*/) {}
    virtual void controller(int /*number*/, int /*value*/, float /*normalized*/) {}
    virtual void modWheel(float /*normalized*/) {}
    virtual void noteOff(int /*note*/, float /*velocity*/) {}
    virtual void noteOn(int /*note*/, float /*velocity*/) {}
    virtual void pitchBend(float /*bend*/) {}
};
