#include <gtest/gtest.h>

#include <cmath>

#include "engine/VornEngine.h"
#include "engine/VornVoice.h"
#include "midi/MpeZones.h"
#include "modulation/MidiModSource.h"
#include "tests/engine/VornTestRig.h"

namespace {

constexpr uint8_t kControl = 0xB0;
constexpr uint8_t kPressure = 0xD0;
constexpr uint8_t kBend = 0xE0;
constexpr int kBendCentre = 8192;

void control(VornTestRig& rig, int channel, int number, int value) {
    rig.midi(static_cast<uint8_t>(kControl | (channel - 1)), static_cast<uint8_t>(number),
             static_cast<uint8_t>(value));
}

// The MPE configuration message: registered parameter 6 on the zone's manager channel.
void configure(VornTestRig& rig, int manager, int members) {
    control(rig, manager, 101, 0);
    control(rig, manager, 100, 6);
    control(rig, manager, 6, members);
}

void bend(VornTestRig& rig, int channel, int value) {
    rig.midi(static_cast<uint8_t>(kBend | (channel - 1)), static_cast<uint8_t>(value & 0x7F),
             static_cast<uint8_t>(value >> 7));
}

double semitonesOf(int bendValue, double range) {
    return (bendValue / 16383.0 - 0.5) * 2.0 * range;
}

struct Note {
    int channel;
    int key;
    int firstBend;   // sent before the note starts
    int secondBend;  // 0.2 s later, with pressure on channel 3 only
};
constexpr Note kNotes[] = {{2, 48, kBendCentre + 400, kBendCentre + 700},
                           {3, 60, kBendCentre - 300, kBendCentre + 50},
                           {4, 72, kBendCentre + 100, kBendCentre - 900}};

// A sine whose level follows aftertouch: three notes on three member channels, each bent its own
// way, then bent again with pressure on one of them.
VornTestRig::Stereo perform(VornTestRig& rig, std::initializer_list<int> channels, bool mpe,
                            bool moveChannel3 = true) {
    setPlainSine(rig);
    rig.set({"Osc 1 Phase Sync=On", "Osc 1 Level=-12 dB", "Num Active MIDI Sources=1",
             "MIDI Source 1 Input=Aftertouch", "Num Active Slots=1", "Slot 1 Source=MIDI 1",
             "Slot 1 Target=Osc 1 Level", "Slot 1 Level=1"});
    if (mpe) configure(rig, 1, 15);
    for (const Note& n : kNotes) {
        if (std::find(channels.begin(), channels.end(), n.channel) == channels.end()) continue;
        bend(rig, n.channel, n.firstBend);
        rig.midi(static_cast<uint8_t>(0x90 | (n.channel - 1)), static_cast<uint8_t>(n.key), 100);
    }
    VornTestRig::Stereo out = rig.render(rig.frames(0.2));
    for (const Note& n : kNotes) {
        if (std::find(channels.begin(), channels.end(), n.channel) == channels.end()) continue;
        if (n.channel == 3 && !moveChannel3) continue;
        bend(rig, n.channel, n.secondBend);
        if (n.channel == 3) rig.midi(static_cast<uint8_t>(kPressure | 2), 100, 0);
    }
    const VornTestRig::Stereo later = rig.render(rig.frames(0.2));
    out.left.insert(out.left.end(), later.left.begin(), later.left.end());
    return out;
}

double centsOff(const std::vector<float>& x, const VornTestRig& rig, double from, double to,
                double hz) {
    const double f =
        zeroCrossingFrequency(x, rig.sampleRate(), static_cast<size_t>(rig.frames(from)),
                              static_cast<size_t>(rig.frames(to)));
    return 1200.0 * std::log2(f / hz);
}

}  // namespace

// Zones from configuration messages and the setting; bend ranges from registered parameter 0.
TEST(VornMpe, ZonesFollowConfigurationMessagesAndTheSetting) {
    VornTestRig rig;
    MpeZones& zones = rig.plugin().mpeZones();
    EXPECT_FALSE(zones.active());
    configure(rig, 1, 5);
    configure(rig, 16, 9);  // members 7..15
    control(rig, 3, 101, 0);
    control(rig, 3, 100, 0);
    control(rig, 3, 6, 12);
    control(rig, 3, 38, 50);
    rig.render(1);
    std::string zoneOfChannel;
    for (int c = 1; c <= 16; ++c) zoneOfChannel += std::to_string(zones.zoneOf(c)) + " ";
    EXPECT_EQ(zoneOfChannel, "0 1 1 1 1 1 16 16 16 16 16 16 16 16 16 0 ");
    EXPECT_FLOAT_EQ(zones.memberBendRange(1), 12.5f);
    EXPECT_FLOAT_EQ(zones.memberBendRange(16), 48.0f);
    configure(rig, 1, 15);  // takes every channel: the upper zone ends
    rig.render(1);
    EXPECT_EQ(zones.members(16), 0);
    EXPECT_FLOAT_EQ(zones.memberBendRange(1), 48.0f);
    configure(rig, 1, 0);
    rig.render(1);
    EXPECT_FALSE(zones.active());
    rig.plugin().setMpeMembers(7);
    EXPECT_EQ(zones.zoneOf(8), 1);
    EXPECT_EQ(zones.zoneOf(9), 0);
    rig.plugin().setMpeMembers(0);
}

// Each member channel bends and presses its own note only. Within half a cent: the sine
// oscillator alone is 0.2 cent off at key 48.
TEST(VornMpe, MemberChannelsMoveTheirOwnNotesOnly) {
    for (const Note& n : kNotes) {
        VornTestRig rig;
        const std::vector<float> alone = perform(rig, {n.channel}, true, true).left;
        const double hz = 440.0 * std::exp2((n.key - 69) / 12.0);
        EXPECT_NEAR(centsOff(alone, rig, 0.05, 0.2, hz), 100.0 * semitonesOf(n.firstBend, 48), 0.5)
            << n.channel;
        EXPECT_NEAR(centsOff(alone, rig, 0.25, 0.4, hz), 100.0 * semitonesOf(n.secondBend, 48), 0.5)
            << n.channel;
    }
    // Channel 3's second bend and pressure change its own note's tone and nothing else: what
    // differs at the other notes' pitches is window leakage, 60 dB down.
    VornTestRig a;
    VornTestRig b;
    const std::vector<float> all = perform(a, {2, 3, 4}, true, true).left;
    const std::vector<float> most = perform(b, {2, 3, 4}, true, false).left;
    std::vector<float> difference(all.size());
    for (size_t i = 0; i < all.size(); ++i) difference[i] = all[i] - most[i];
    const size_t from = static_cast<size_t>(a.frames(0.25));
    const size_t count = static_cast<size_t>(a.frames(0.15));
    auto toneOf = [&](const Note& n, int bendValue) {
        const double hz = 440.0 * std::exp2((n.key - 69 + semitonesOf(bendValue, 48)) / 12.0);
        return toneAmplitude(difference, from, count, hz, a.sampleRate());
    };
    EXPECT_LT(toneOf(kNotes[0], kNotes[0].secondBend), 1e-4);
    EXPECT_LT(toneOf(kNotes[2], kNotes[2].secondBend), 1e-4);
    EXPECT_GT(toneOf(kNotes[1], kNotes[1].secondBend), 0.1);
    // Pressed, the note is louder than at its first bend.
    EXPECT_GT(rms(all, from) / rms(most, from), 1.2);
}

// Without MPE the same stream is plain MIDI: bends reach the shared pitch-bend value, and with no
// route from it the notes keep their own pitch.
TEST(VornMpe, WithoutZonesTheStreamIsPlainMidi) {
    VornTestRig rig;
    const std::vector<float> out = perform(rig, {2}, false).left;
    EXPECT_NEAR(centsOff(out, rig, 0.05, 0.4, 440.0 * std::exp2((48 - 69) / 12.0)), 0.0, 0.25);
    EXPECT_NEAR(rig.engine().midiCache.value(MidiModSource::kPitchBendKey),
                (kNotes[0].secondBend) / 16383.0 - 0.5, 1e-6);
}
