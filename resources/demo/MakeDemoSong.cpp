// Build tool: writes the demo song of `vorn demo` as a Standard MIDI File (format 1).
// Usage: vorn_make_demo_song DemoSong.mid
//
// Fifteen bars in A minor at 96 BPM, one chord a bar moving i-VI-III-VII, in sections that build up
// and break down: the pad alone, then bass and drums, the full band with the lead, a breakdown on
// the pad, a last chorus and an ending on a held A minor chord. Notes are written where they
// sound. Channels: 1 pad, 2 bass, 3 lead, 4 kick, 5 snare, 6 hi-hat. `vorn demo` names the same
// sections by bar in DemoCommand.cpp.

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int kTicksPerQuarter = 480;
constexpr uint32_t kMicrosecondsPerQuarter = 625000;  // 96 BPM
constexpr int kBeatsPerBar = 4;
enum Channel { kPad, kBass, kLead, kKick, kSnare, kHat };
// The pad's chord notes are pressed one after the other within this many ticks (about 60 ms),
// like a hand on a keyboard.
constexpr int kPadSpreadTicks = 45;

struct Chord {
    int notes[4];
    int bassRoot;
};
// Close voicings: from one chord to the next every voice moves by a step at most.
constexpr Chord kAm = {{57, 60, 64, 69}, 45};
constexpr Chord kF = {{57, 60, 65, 69}, 41};
constexpr Chord kC = {{55, 60, 64, 67}, 48};
constexpr Chord kG = {{55, 59, 62, 67}, 43};

// Who plays in a section, and how hard the pad is pressed.
struct Section {
    int bars;
    Chord chords[4];
    bool bass, drums, lead;
    int padVelocity;
};
constexpr Section kSections[] = {
    {2, {kAm, kF}, false, false, false, 64},       // intro: the pad alone
    {2, {kC, kG}, true, true, false, 76},          // bass and drums come in
    {4, {kAm, kF, kC, kG}, true, true, true, 82},  // chorus: the full band
    {2, {kF, kG}, false, false, false, 58},        // breakdown: the pad alone, softer
    {4, {kAm, kF, kC, kG}, true, true, true, 86},  // last chorus
    {1, {kAm}, false, false, false, 80},           // ending: see addEnding
};

// One bar of bass: beat, length in beats, interval above the root, velocity.
struct BassStep {
    double beat;
    double beats;
    int interval;
    int velocity;
};
constexpr BassStep kBassBar[] = {
    {0.0, 1.25, 0, 104}, {1.5, 0.4, 0, 84}, {2.0, 0.9, 12, 96}, {3.0, 0.8, 7, 90}};

// Drums: kick on 1 and 3, snare on 2 and 4, eighth-note hi-hats accented on the beat.
constexpr int kKickNote = 33;   // A1
constexpr int kSnareNote = 52;  // E3, the body's pitch
constexpr int kHatNote = 72;
constexpr double kDrumBeats = 0.25;

// The chorus melody, four bars from the chorus's first beat; the last chorus ends its fourth bar
// stepping down to the A the ending holds.
struct Note {
    double beat;
    double beats;
    int note;
};
constexpr Note kMelody[] = {
    {0, 2, 69},  {2, 1, 72},  {3, 1, 76},   // over Am
    {4, 3, 77},  {7, 1, 76},                // over F
    {8, 2, 76},  {10, 1, 74}, {11, 1, 72},  // over C
    {12, 2, 74}, {14, 2, 71},               // over G
};
constexpr Note kLastBar[] = {{12, 1, 74}, {13, 1, 72}, {14, 2, 71}};
constexpr int kEndingNote = 69;
constexpr int kLeadVelocity = 100;
constexpr double kLegatoBeats = 0.05;  // melody notes end this much before the next

struct Event {
    int64_t tick;
    std::vector<uint8_t> bytes;
};

int64_t ticks(double beats) {
    return static_cast<int64_t>(beats * kTicksPerQuarter + 0.5);
}

void addNote(std::vector<Event>& track, int channel, int64_t on, int64_t off, int note,
             int velocity) {
    track.push_back({on,
                     {static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(note),
                      static_cast<uint8_t>(velocity)}});
    track.push_back(
        {off, {static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(note), uint8_t{64}}});
}

void appendVariableLength(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t groups[4];
    int count = 0;
    do {
        groups[count++] = value & 0x7F;
        value >>= 7;
    } while (value && count < 4);
    for (int i = count - 1; i >= 0; --i) out.push_back(groups[i] | (i ? 0x80 : 0x00));
}

void appendBigEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::vector<Event> named(const std::string& name) {
    std::vector<uint8_t> meta = {0xFF, 0x03, static_cast<uint8_t>(name.size())};
    meta.insert(meta.end(), name.begin(), name.end());
    return {{0, meta}};
}

// Note-offs before note-ons at equal ticks, so a repeated note is released before it restarts.
std::vector<uint8_t> trackChunk(std::vector<Event> events) {
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        if (a.tick != b.tick) return a.tick < b.tick;
        return (a.bytes[0] & 0xF0) == 0x80 && (b.bytes[0] & 0xF0) != 0x80;
    });
    std::vector<uint8_t> body;
    int64_t last = 0;
    for (const Event& e : events) {
        appendVariableLength(body, static_cast<uint32_t>(e.tick - last));
        body.insert(body.end(), e.bytes.begin(), e.bytes.end());
        last = e.tick;
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<uint8_t> chunk = {'M', 'T', 'r', 'k'};
    appendBigEndian(chunk, static_cast<uint32_t>(body.size()), 4);
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

std::vector<Event> tempoTrack() {
    std::vector<Event> events = named("Vorn demo");
    events.push_back({0,
                      {0xFF, 0x51, 0x03, static_cast<uint8_t>(kMicrosecondsPerQuarter >> 16),
                       static_cast<uint8_t>(kMicrosecondsPerQuarter >> 8),
                       static_cast<uint8_t>(kMicrosecondsPerQuarter)}});
    events.push_back({0, {0xFF, 0x58, 0x04, kBeatsPerBar, 0x02, 24, 8}});  // 4/4
    events.push_back({0, {0xFF, 0x59, 0x02, 0x00, 0x01}});                 // A minor
    return events;
}

std::vector<Event> padTrack() {
    std::vector<Event> events = named("Pad");
    double beat = 0;
    for (const Section& section : kSections) {
        for (int bar = 0; bar < section.bars; ++bar, beat += kBeatsPerBar) {
            const Chord& chord = section.chords[bar];
            for (int v = 0; v < 4; ++v) {
                addNote(events, kPad, ticks(beat) + v * kPadSpreadTicks / 3,
                        ticks(beat + kBeatsPerBar), chord.notes[v], section.padVelocity - 4 * v);
            }
        }
    }
    return events;
}

void addBassBar(std::vector<Event>& events, double beat, const Chord& chord, bool held) {
    if (held) {
        addNote(events, kBass, ticks(beat), ticks(beat + kBeatsPerBar), chord.bassRoot, 100);
        return;
    }
    for (const BassStep& step : kBassBar) {
        addNote(events, kBass, ticks(beat + step.beat), ticks(beat + step.beat + step.beats),
                chord.bassRoot + step.interval, step.velocity);
    }
}

void addDrumBar(std::vector<Event>& kick, std::vector<Event>& snare, std::vector<Event>& hat,
                double beat) {
    for (int b = 0; b < kBeatsPerBar; ++b) {
        std::vector<Event>& drum = b % 2 == 0 ? kick : snare;
        addNote(drum, b % 2 == 0 ? kKick : kSnare, ticks(beat + b), ticks(beat + b + kDrumBeats),
                b % 2 == 0 ? kKickNote : kSnareNote, b == 0 ? 112 : 100);
        for (const double half : {0.0, 0.5}) {
            addNote(hat, kHat, ticks(beat + b + half), ticks(beat + b + half + kDrumBeats / 2),
                    kHatNote, half == 0.0 ? 96 : 64);
        }
    }
}

void addMelody(std::vector<Event>& events, double beat, bool last) {
    for (const Note& n : kMelody) {
        if (last && n.beat >= kLastBar[0].beat) break;
        addNote(events, kLead, ticks(beat + n.beat), ticks(beat + n.beat + n.beats - kLegatoBeats),
                n.note, kLeadVelocity);
    }
    if (!last) return;
    for (const Note& n : kLastBar) {
        addNote(events, kLead, ticks(beat + n.beat), ticks(beat + n.beat + n.beats - kLegatoBeats),
                n.note, kLeadVelocity);
    }
}

// The ending: the chord held over the bass's root, a kick on its downbeat and the lead's last A.
void addEnding(std::vector<std::vector<Event>>& band, double beat) {
    addBassBar(band[0], beat, kAm, true);
    addNote(band[1], kLead, ticks(beat), ticks(beat + kBeatsPerBar), kEndingNote, kLeadVelocity);
    addNote(band[2], kKick, ticks(beat), ticks(beat + kDrumBeats), kKickNote, 112);
}

// Bass, lead and the three drums, each on its own track.
std::vector<std::vector<Event>> bandTracks() {
    std::vector<std::vector<Event>> band = {named("Bass"), named("Lead"), named("Kick"),
                                            named("Snare"), named("Hi-Hat")};
    constexpr size_t kEnding = std::size(kSections) - 1;
    double beat = 0;
    for (size_t s = 0; s < kEnding; ++s) {
        const Section& section = kSections[s];
        if (section.lead) addMelody(band[1], beat, s + 1 == kEnding);
        for (int bar = 0; bar < section.bars; ++bar, beat += kBeatsPerBar) {
            if (section.bass) addBassBar(band[0], beat, section.chords[bar], false);
            if (section.drums) addDrumBar(band[2], band[3], band[4], beat);
        }
    }
    addEnding(band, beat);
    return band;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: vorn_make_demo_song DemoSong.mid\n";
        return 1;
    }
    std::vector<std::vector<Event>> tracks = {tempoTrack(), padTrack()};
    for (std::vector<Event>& track : bandTracks()) tracks.push_back(std::move(track));
    std::vector<uint8_t> file = {'M', 'T', 'h', 'd'};
    appendBigEndian(file, 6, 4);
    appendBigEndian(file, 1, 2);  // format 1
    appendBigEndian(file, static_cast<uint32_t>(tracks.size()), 2);
    appendBigEndian(file, kTicksPerQuarter, 2);
    for (const std::vector<Event>& track : tracks) {
        const std::vector<uint8_t> chunk = trackChunk(track);
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    return out ? 0 : 1;
}
