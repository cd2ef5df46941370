#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "framework/MidiEvent.h"

// A Standard MIDI File (format 0 or 1) read into one list of channel messages of every track,
// ordered by time, with the tempo map that turns ticks into seconds and sample frames.
//
// Times are kept exactly as numerator / timeDenominator() seconds, so that frame positions at any
// whole sample rate are rounded once, from exact values.
class StandardMidiFile {
public:
    static constexpr uint32_t kDefaultTempo = 500000;  // microseconds per quarter note (120 BPM)
    // Bounds that keep hostile files from asking for unbounded memory or overflowing times.
    static constexpr size_t kMaxEvents = size_t{1} << 22;
    static constexpr int64_t kMaxTick = int64_t{1} << 32;
    static constexpr size_t kMaxFileBytes = size_t{64} << 20;

    struct Event {
        int64_t tick = 0;
        int64_t time = 0;  // seconds × timeDenominator()
        double seconds = 0.0;
        MidiEvent message;  // offset 0
    };

    // The tempo from `tick` on, until the next entry.
    struct TempoChange {
        int64_t tick = 0;
        double seconds = 0.0;
        double beat = 0.0;  // quarter notes from the start
        uint32_t microsecondsPerQuarter = kDefaultTempo;
    };

    // Replaces the contents; on failure the file is empty and error() says why.
    bool read(std::span<const uint8_t> bytes);
    bool readFile(const std::string& path);
    const std::string& error() const { return error_; }

    int format() const { return format_; }
    int trackCount() const { return trackCount_; }
    int64_t timeDenominator() const { return timeDenominator_; }
    const std::vector<Event>& events() const { return events_; }
    // Never empty once read: the first entry is at tick 0.
    const std::vector<TempoChange>& tempoMap() const { return tempoMap_; }

    // The later of the last event and the last end-of-track mark.
    double endSeconds() const;
    int64_t endFrame(double sampleRate) const { return frameAt(endTime_, sampleRate); }
    int64_t frameOf(const Event& event, double sampleRate) const {
        return frameAt(event.time, sampleRate);
    }
    // Tempo in beats per minute and position in quarter notes at a time in seconds.
    double tempoAt(double seconds) const;
    double beatAt(double seconds) const;

private:
    struct Builder;

    // Nearest frame to time / timeDenominator() seconds, halves rounded up.
    int64_t frameAt(int64_t time, double sampleRate) const;
    const TempoChange& tempoChangeAt(double seconds) const;
    void clear();

    int format_ = 0;
    int trackCount_ = 0;
    int64_t timeDenominator_ = 1;
    int64_t endTime_ = 0;
    std::vector<Event> events_;
    std::vector<TempoChange> tempoMap_;
    std::string error_;
};
