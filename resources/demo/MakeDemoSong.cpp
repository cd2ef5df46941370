// Build tool: writes the demo song of `vorn demo` as a Standard MIDI File (format 1).
// Usage: vorn_make_demo_song DemoSong.mid
//
// Twelve bars in A minor at 96 BPM: a pad on channel 1 moving i-VI-III-VII in close voicings (its
// notes glide into each other), a bass on channel 2 and a lead melody on channel 3, ending on a
// held A minor chord.

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
constexpr int kPadChannel = 0;
constexpr int kBassChannel = 1;
constexpr int kLeadChannel = 2;
// The pad's chord notes are pressed one after the other within this many ticks (about 60 ms),
// like a hand on a keyboard.
constexpr int kPadSpreadTicks = 45;

struct Chord {
    double startBeat;
    double beats;
    int notes[4];
    int bassRoot;
};

// Close voicings: from one chord to the next every voice moves by a step at most.
constexpr Chord kChords[] = {
    {0, 8, {57, 60, 64, 69}, 45},   // Am
    {8, 8, {57, 60, 65, 69}, 41},   // F
    {16, 8, {55, 60, 64, 67}, 48},  // C
    {24, 8, {55, 59, 62, 67}, 43},  // G
    {32, 4, {57, 60, 65, 69}, 41},  // F
    {36, 4, {55, 59, 62, 67}, 43},  // G
    {40, 8, {57, 60, 64, 69}, 45},  // Am, held to the end
};
constexpr size_t kFinalChord = std::size(kChords) - 1;

// One bar of bass: beat, length in beats, interval above the root, velocity.
struct BassStep {
    double beat;
    double beats;
    int interval;
    int velocity;
};
constexpr BassStep kBassBar[] = {
    {0.0, 1.25, 0, 104}, {1.5, 0.4, 0, 84}, {2.0, 0.9, 12, 96}, {3.0, 0.8, 7, 90}};

struct Note {
    double beat;
    double beats;
    int note;
};
constexpr Note kMelody[] = {
    {8, 2, 69},  {10, 1, 72}, {11, 1, 76}, {12, 3, 77}, {15, 1, 76},  // over F
    {16, 2, 76}, {18, 1, 74}, {19, 1, 72}, {20, 3, 72}, {23, 1, 67},  // over C
    {24, 2, 71}, {26, 2, 74}, {28, 3, 79}, {31, 1, 77},               // over G
    {32, 2, 76}, {34, 1, 77}, {35, 1, 76},                            // over F
    {36, 2, 74}, {38, 2, 71},                                         // over G
    {40, 1, 72}, {41, 1, 71}, {42, 6, 69},                            // the last A
};
constexpr int kLeadVelocity = 100;
constexpr int kPadVelocity = 82;
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
    for (const Chord& chord : kChords) {
        const int64_t start = ticks(chord.startBeat);
        const int64_t end = ticks(chord.startBeat + chord.beats);
        for (int v = 0; v < 4; ++v) {
            addNote(events, kPadChannel, start + v * kPadSpreadTicks / 3, end, chord.notes[v],
                    kPadVelocity - 4 * v);
        }
    }
    return events;
}

std::vector<Event> bassTrack() {
    std::vector<Event> events = named("Bass");
    for (size_t c = 0; c < std::size(kChords); ++c) {
        const Chord& chord = kChords[c];
        if (c == kFinalChord) {
            addNote(events, kBassChannel, ticks(chord.startBeat),
                    ticks(chord.startBeat + chord.beats), chord.bassRoot, 100);
            continue;
        }
        for (double bar = chord.startBeat; bar < chord.startBeat + chord.beats;
             bar += kBeatsPerBar) {
            for (const BassStep& step : kBassBar) {
                addNote(events, kBassChannel, ticks(bar + step.beat),
                        ticks(bar + step.beat + step.beats), chord.bassRoot + step.interval,
                        step.velocity);
            }
        }
    }
    return events;
}

std::vector<Event> leadTrack() {
    std::vector<Event> events = named("Lead");
    for (const Note& n : kMelody) {
        addNote(events, kLeadChannel, ticks(n.beat), ticks(n.beat + n.beats - kLegatoBeats), n.note,
                kLeadVelocity);
    }
    return events;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: vorn_make_demo_song DemoSong.mid\n";
        return 1;
    }
    const std::vector<std::vector<Event>> tracks = {tempoTrack(), padTrack(), bassTrack(),
                                                    leadTrack()};
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
