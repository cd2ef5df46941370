#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

#include "midi/StandardMidiFile.h"

namespace {

using Bytes = std::vector<uint8_t>;

void append(Bytes& out, std::initializer_list<int> values) {
    for (const int v : values) out.push_back(static_cast<uint8_t>(v));
}

void appendBigEndian(Bytes& out, uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

Bytes header(int format, int tracks, uint16_t division) {
    Bytes out = {'M', 'T', 'h', 'd'};
    appendBigEndian(out, 6, 4);
    appendBigEndian(out, static_cast<uint32_t>(format), 2);
    appendBigEndian(out, static_cast<uint32_t>(tracks), 2);
    appendBigEndian(out, division, 2);
    return out;
}

void appendChunk(Bytes& out, const char* type, const Bytes& body) {
    out.insert(out.end(), type, type + 4);
    appendBigEndian(out, static_cast<uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
}

void appendTrack(Bytes& out, Bytes body, bool endOfTrack = true) {
    if (endOfTrack) append(body, {0x00, 0xFF, 0x2F, 0x00});
    appendChunk(out, "MTrk", body);
}

using Event = std::tuple<int64_t, int, int, int>;  // tick, status, data1, data2

std::vector<Event> eventsOf(const StandardMidiFile& file) {
    std::vector<Event> out;
    for (const StandardMidiFile::Event& e : file.events()) {
        EXPECT_EQ(e.message.offset, 0);
        out.emplace_back(e.tick, e.message.status, e.message.data1, e.message.data2);
    }
    return out;
}

// Format 1, 480 ticks per quarter. Track 1 sets the tempo: 120 BPM, then 240 BPM from tick 960.
// Tracks 2 and 3 play on channels 1 and 10.
Bytes formatOneFile() {
    Bytes file = header(1, 3, 480);
    appendTrack(file, {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,          // 500000 us at tick 0
                       0x87, 0x40, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90});  // 250000 us at 960
    appendTrack(file, {0x00, 0x90, 0x3C, 0x64,                            // tick 0
                       0x87, 0x40, 0x80, 0x3C, 0x00,                      // tick 960
                       0x83, 0x60, 0xB0, 0x07, 0x50});                    // tick 1440
    appendTrack(file, {0x83, 0x60, 0x99, 0x24, 0x7F,                      // tick 480
                       0x87, 0x40, 0x89, 0x24, 0x00,                      // tick 1440
                       0x83, 0x60, 0xFF, 0x01, 0x00});                    // text at 1920
    return file;
}

TEST(StandardMidiFile, FormatZeroWithRunningStatusAndDefaultTempo) {
    Bytes file = header(0, 1, 480);
    appendTrack(file, {0x00, 0x90, 0x3C, 0x64,  // note on
                       0x00, 0x40, 0x50,        // running status: another note on
                       0x83, 0x60, 0x3C, 0x00,  // 480 ticks later, velocity 0
                       0x00, 0xC3, 0x05,        // program change: one data byte
                       0x00, 0x07,              // running status with one data byte
                       0x00, 0xE0, 0x00, 0x40,  // pitch bend centre
                       0x00, 0xD1, 0x30});      // channel pressure
    StandardMidiFile smf;
    ASSERT_TRUE(smf.read(file)) << smf.error();
    EXPECT_EQ(smf.format(), 0);
    EXPECT_EQ(smf.trackCount(), 1);
    EXPECT_EQ(eventsOf(smf), (std::vector<Event>{{0, 0x90, 0x3C, 0x64},
                                                 {0, 0x90, 0x40, 0x50},
                                                 {480, 0x90, 0x3C, 0x00},
                                                 {480, 0xC3, 0x05, 0},
                                                 {480, 0xC3, 0x07, 0},
                                                 {480, 0xE0, 0x00, 0x40},
                                                 {480, 0xD1, 0x30, 0}}));
    // No tempo event: 120 BPM, so a quarter note is half a second.
    EXPECT_DOUBLE_EQ(smf.events()[2].seconds, 0.5);
    EXPECT_EQ(smf.frameOf(smf.events()[2], 48000.0), 24000);
    EXPECT_EQ(smf.frameOf(smf.events()[2], 44100.0), 22050);
    EXPECT_DOUBLE_EQ(smf.tempoAt(0.3), 120.0);
    EXPECT_DOUBLE_EQ(smf.endSeconds(), 0.5);
}

TEST(StandardMidiFile, FormatOneMergesTracksUnderTrackOnesTempoMap) {
    StandardMidiFile smf;
    ASSERT_TRUE(smf.read(formatOneFile())) << smf.error();
    EXPECT_EQ(smf.format(), 1);
    EXPECT_EQ(smf.trackCount(), 3);
    // At equal ticks, earlier tracks come first.
    EXPECT_EQ(eventsOf(smf), (std::vector<Event>{{0, 0x90, 0x3C, 0x64},
                                                 {480, 0x99, 0x24, 0x7F},
                                                 {960, 0x80, 0x3C, 0x00},
                                                 {1440, 0xB0, 0x07, 0x50},
                                                 {1440, 0x89, 0x24, 0x00}}));
    // Tick 1440 lies 480 ticks into the 240 BPM section: 1 s + 0.25 s.
    const double seconds[] = {0.0, 0.5, 1.0, 1.25, 1.25};
    const int64_t frames44k[] = {0, 22050, 44100, 55125, 55125};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_DOUBLE_EQ(smf.events()[i].seconds, seconds[i]) << i;
        EXPECT_EQ(smf.frameOf(smf.events()[i], 44100.0), frames44k[i]) << i;
    }
    ASSERT_EQ(smf.tempoMap().size(), 2u);
    EXPECT_EQ(smf.tempoMap()[1].tick, 960);
    EXPECT_DOUBLE_EQ(smf.tempoMap()[1].seconds, 1.0);
    EXPECT_DOUBLE_EQ(smf.tempoAt(0.99), 120.0);
    EXPECT_DOUBLE_EQ(smf.tempoAt(1.0), 240.0);
    EXPECT_DOUBLE_EQ(smf.beatAt(0.75), 1.5);
    EXPECT_DOUBLE_EQ(smf.beatAt(1.1), 2.4);
    // The text event at tick 1920 (1.5 s) ends the song though it is no channel message.
    EXPECT_DOUBLE_EQ(smf.endSeconds(), 1.5);
    EXPECT_EQ(smf.endFrame(48000.0), 72000);
}

TEST(StandardMidiFile, FramesAreRoundedOnceFromExactTimes) {
    // One tick is 1.5 ms: at 1 kHz the events fall exactly between frames and round up, which a
    // detour through binary fractions of a second would not guarantee.
    Bytes file = header(0, 1, 1);
    Bytes body = {0x00, 0xFF, 0x51, 0x03, 0x00, 0x05, 0xDC};  // 1500 us per quarter
    for (int i = 0; i < 40; ++i) append(body, {0x01, 0x90, 0x40, 0x40});
    appendTrack(file, body);
    StandardMidiFile smf;
    ASSERT_TRUE(smf.read(file)) << smf.error();
    ASSERT_EQ(smf.events().size(), 40u);
    for (int i = 0; i < 40; ++i) {
        const int64_t halfFrames = 3 * (i + 1);  // time in half milliseconds
        EXPECT_EQ(smf.frameOf(smf.events()[i], 1000.0), (halfFrames + 1) / 2) << i;
        EXPECT_EQ(smf.frameOf(smf.events()[i], 96000.0), 144 * (i + 1)) << i;
    }
}

TEST(StandardMidiFile, SysExMetaAndForeignChunksAreSkipped) {
    Bytes file = header(0, 1, 96);
    appendChunk(file, "XFIH", {0x90, 0x3C, 0x64, 0xFF});  // unknown chunk before the track
    appendTrack(file, {0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,  // SysEx
                       0x00, 0x90, 0x3C, 0x64,                          //
                       0x10, 0xF7, 0x02, 0x90, 0x91,              // escape with status-like bytes
                       0x00, 0xFF, 0x03, 0x03, 0x80, 0x81, 0x82,  // track name, high bytes
                       0x00, 0x3C, 0x00,                          // running status survives
                       0x00, 0xFF, 0x2F, 0x00,                    // end of track
                       0x00, 0x90, 0x3D, 0x64},                   // ignored after the end
                false);
    StandardMidiFile smf;
    ASSERT_TRUE(smf.read(file)) << smf.error();
    EXPECT_EQ(eventsOf(smf), (std::vector<Event>{{0, 0x90, 0x3C, 0x64}, {16, 0x90, 0x3C, 0x00}}));
}

TEST(StandardMidiFile, SmpteDivisionsCountRealTime) {
    // Division, tick and its frame at 48 kHz. 25 fps × 40 = 1000 ticks per second; 29.97 fps ×
    // 100 ticks: 3000 ticks = 1.001 s.
    const std::tuple<uint16_t, uint32_t, int64_t> cases[] = {
        {0xE728, 500, 24000}, {0xE364, 3000, 48048}, {0xE850, 96, 2400}};
    for (const auto& [division, tick, frameAt48k] : cases) {
        Bytes file = header(0, 1, division);
        Bytes body = {0x00, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90};  // 240 BPM: only the beat
        append(body, {static_cast<int>(0x80 | (tick >> 7)), static_cast<int>(tick & 0x7F), 0x90,
                      0x40, 0x40});
        appendTrack(file, body);
        StandardMidiFile smf;
        ASSERT_TRUE(smf.read(file)) << smf.error();
        ASSERT_EQ(smf.events().size(), 1u);
        EXPECT_EQ(smf.frameOf(smf.events()[0], 48000.0), frameAt48k) << division;
        EXPECT_DOUBLE_EQ(smf.tempoAt(0.5), 240.0);
        EXPECT_DOUBLE_EQ(smf.beatAt(0.5), 2.0);
    }
}

TEST(StandardMidiFile, MalformedFilesAreRejectedWithAReason) {
    const auto track = [](Bytes body, int tracks = 1) {
        Bytes file = header(tracks == 1 ? 0 : 1, tracks, 96);
        appendTrack(file, std::move(body));
        return file;
    };
    Bytes longHeader = header(0, 1, 96);
    longHeader[7] = 200;
    Bytes chunkTooLong = track({0x00, 0x90, 0x3C, 0x64});
    chunkTooLong[21] += 1;
    Bytes shortHeader = header(0, 1, 96);
    shortHeader[7] = 5;
    Bytes tooLong;
    for (int i = 0; i < 20; ++i) append(tooLong, {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00});

    const std::pair<Bytes, std::string> cases[] = {
        {{}, "MThd"},
        {{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}, "MThd"},
        {shortHeader, "too short"},
        {longHeader, "beyond"},
        {header(2, 1, 96), "format 2"},
        {header(7, 1, 96), "unknown format"},
        {header(0, 2, 96), "one track"},
        {header(1, 0, 96), "no tracks"},
        {header(0, 1, 0), "division"},
        {header(0, 1, 0xE928), "SMPTE"},
        {header(0, 1, 0xE700), "ticks per frame"},
        {header(0, 1, 96), "missing MTrk"},
        {track({0x00, 0x90, 0x3C, 0x64}, 2), "missing MTrk"},
        {chunkTooLong, "beyond the end"},
        {track({0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x90, 0x3C, 0x64}), "longer than four bytes"},
        {track({0x00, 0x3C, 0x64}), "without a status"},
        {track({0x00, 0x90, 0x3C}, 1), "channel message"},
        {track({0x00, 0x90, 0x3C, 0x90, 0x3C}), "status byte inside"},
        {track({0x00, 0xF2, 0x00, 0x00}), "unexpected status byte 0xF2"},
        {track({0x00, 0xF0, 0x20, 0x01}), "system exclusive"},
        {track({0x00, 0xFF, 0x01, 0x40, 0x41}), "meta event"},
        {track({0x00, 0xFF, 0x51, 0x03, 0x00, 0x00, 0x00}), "tempo of 0"},
        {track(tooLong), "too long"},
    };
    for (const auto& [bytes, reason] : cases) {
        StandardMidiFile smf;
        ASSERT_TRUE(smf.read(formatOneFile()));
        EXPECT_FALSE(smf.read(bytes)) << reason;
        EXPECT_NE(smf.error().find(reason), std::string::npos)
            << "expected \"" << reason << "\" in \"" << smf.error() << "\"";
        EXPECT_TRUE(smf.events().empty()) << reason;
    }
    StandardMidiFile smf;
    EXPECT_FALSE(smf.readFile("/nonexistent/song.mid"));
    EXPECT_NE(smf.error().find("/nonexistent/song.mid"), std::string::npos);
}

TEST(StandardMidiFile, EveryTruncationFails) {
    // Damaged files beyond truncation are the fuzzer's.
    const Bytes valid = formatOneFile();
    StandardMidiFile smf;
    for (size_t length = 0; length < valid.size(); ++length) {
        EXPECT_FALSE(smf.read(std::span(valid.data(), length))) << length;
        EXPECT_FALSE(smf.error().empty()) << length;
    }
}

}  // namespace
