#pragma once

#include <cstdint>
#include <optional>

// The host's musical position between its position messages (LV2 time:Position, CLAP transport
// events). Hosts send a position only when it changes (start, stop, relocation, tempo change), so
// the beat is carried forward block by block at the current speed; a stopped transport keeps its
// beat, which lets the plug-in core run its own free clock.
class HostTransport {
public:
    static constexpr double kDefaultTempo = 120.0;

    // The fields of one position message; absent ones keep their last value. The beat is time:beat
    // or, without it, bar · beatsPerBar + barBeat. frameOffset is the message's frame in the
    // current block: the block's start beat is derived from it.
    struct Position {
        std::optional<double> tempo;
        std::optional<double> speed;
        std::optional<double> beat;
        std::optional<double> bar;
        std::optional<double> barBeat;
        std::optional<double> beatsPerBar;
    };

    void setSampleRate(double rate) { sampleRate_ = rate; }
    void receive(const Position& position, int64_t frameOffset);
    // After the block: the beat moves on by its length.
    void advance(uint32_t frames);

    double tempo() const { return tempo_; }
    double speed() const { return speed_; }
    // The beat at the start of the current block.
    double beat() const { return beat_; }

private:
    double beatsPerFrame() const;
    // Takes the beat when it is finite.
    void moveTo(double beat);

    double sampleRate_ = 48000.0;
    double tempo_ = kDefaultTempo;
    double speed_ = 0.0;
    double beat_ = 0.0;
    double beatsPerBar_ = 4.0;
};
