#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "midi/MidiDecoder.h"
#include "midi/MidiEncoder.h"
#include "tests/midi/MidiTestDoubles.h"

using ::testing::_;

namespace {

bool sameMessage(const MidiEvent& e, int status, int data1, int data2) {
    return e.status == status && e.data1 == data1 && e.data2 == data2;
}

MidiEvent encodeOne(void (*play)(MidiEncoder&), int channel = 1) {
    MessageLog log;
    MidiEncoder encoder(&log, channel);
    play(encoder);
    EXPECT_EQ(log.events.size(), 1u);
    return log.events.empty() ? MidiEvent{} : log.events[0];
}

TEST(MidiEncoder, NotesRoundHalfAwayFromZeroAndClamp) {
    MessageLog log;
    MidiEncoder encoder(&log, 16);
    encoder.noteOn(60, 0.5f);  // 63.5 rounds up
    encoder.noteOn(60, 63.49f / 127.0f);
    encoder.noteOff(61, 1.0f);
    encoder.noteOn(200, 1.5f);
    encoder.noteOff(-3, -0.2f);
    encoder.noteOn(5, std::numeric_limits<float>::quiet_NaN());
    ASSERT_EQ(log.events.size(), 6u);
    EXPECT_TRUE(sameMessage(log.events[0], 0x9F, 60, 64));
    EXPECT_TRUE(sameMessage(log.events[1], 0x9F, 60, 63));
    EXPECT_TRUE(sameMessage(log.events[2], 0x8F, 61, 127));
    EXPECT_TRUE(sameMessage(log.events[3], 0x9F, 127, 127));
    EXPECT_TRUE(sameMessage(log.events[4], 0x8F, 0, 0));
    EXPECT_TRUE(sameMessage(log.events[5], 0x9F, 5, 0));

    // Every velocity the decoder produces comes back as the same byte.
    log.events.clear();
    encoder.setChannel(1);
    for (int v = 0; v <= 127; ++v) encoder.noteOn(1, static_cast<float>(v) / 127.0f);
    for (int v = 0; v <= 127; ++v) EXPECT_EQ(log.events[v].data2, v) << v;
}

TEST(MidiEncoder, ControllersModWheelAndChannels) {
    EXPECT_TRUE(sameMessage(encodeOne([](MidiEncoder& e) { e.controller(74, 0, 1.0f); }, 3), 0xB2,
                            74, 127));
    EXPECT_TRUE(sameMessage(encodeOne([](MidiEncoder& e) { e.modWheel(0.25f); }), 0xB0, 1, 32));
    // Out-of-range channels are clamped to 1..16.
    EXPECT_TRUE(sameMessage(encodeOne([](MidiEncoder& e) { e.noteOn(1, 1.0f); }, 0), 0x90, 1, 127));
    EXPECT_TRUE(
        sameMessage(encodeOne([](MidiEncoder& e) { e.noteOn(1, 1.0f); }, 40), 0x9F, 1, 127));

    // Pressures are not encoded; without a receiver nothing is sent.
    MessageLog log;
    MidiEncoder encoder(&log);
    encoder.channelPressure(0.5f);
    encoder.polyPressure(60, 0.5f);
    EXPECT_TRUE(log.events.empty());
    encoder.setReceiver(nullptr);
    encoder.noteOn(60, 1.0f);
    EXPECT_TRUE(log.events.empty());
}

TEST(MidiEncoder, PitchBendTruncatesAndClamps) {
    MessageLog log;
    MidiEncoder encoder(&log);
    encoder.pitchBend(-0.5f);
    encoder.pitchBend(0.5f);
    encoder.pitchBend(0.0f);  // 8191.5 truncates to 8191
    encoder.pitchBend(3.0f);
    encoder.pitchBend(-3.0f);
    ASSERT_EQ(log.events.size(), 5u);
    EXPECT_TRUE(sameMessage(log.events[0], 0xE0, 0, 0));
    EXPECT_TRUE(sameMessage(log.events[1], 0xE0, 127, 127));
    EXPECT_TRUE(sameMessage(log.events[2], 0xE0, 127, 63));
    EXPECT_TRUE(sameMessage(log.events[3], 0xE0, 127, 127));
    EXPECT_TRUE(sameMessage(log.events[4], 0xE0, 0, 0));
}

TEST(MidiEncoder, RoundTripThroughTheDecoder) {
    SlotEventReceiver events;
    testing::StrictMock<MockChannelReceiver> receiver;
    events.put(AbstractMusicEventReceiver::kAllChannels, &receiver);
    MidiDecoder decoder(&events);
    MidiEncoder encoder(&decoder, 7);

    // Pitch bend comes back within one 14-bit step, never above the original.
    float decoded = 0.0f;
    EXPECT_CALL(receiver, rawMessage(0xE6, _, _)).Times(testing::AnyNumber());
    EXPECT_CALL(receiver, pitchBend(_)).WillRepeatedly([&](float b) { decoded = b; });
    constexpr double kStep = 1.0 / 16383.0;
    for (int i = 0; i <= 1000; ++i) {
        const float bend = -0.5f + static_cast<float>(i) / 1000.0f;
        encoder.pitchBend(bend);
        EXPECT_LE(decoded, bend + 1e-6f) << bend;
        EXPECT_GT(decoded, bend - kStep - 1e-6) << bend;
    }

    EXPECT_CALL(receiver, rawMessage(0x96, 33, 100));
    EXPECT_CALL(receiver, noteOn(33, testing::FloatEq(100.0f / 127.0f)));
    encoder.noteOn(33, 100.0f / 127.0f);
    EXPECT_CALL(receiver, rawMessage(0xB6, 1, 127));
    EXPECT_CALL(receiver, controller(1, 127, testing::FloatEq(1.0f)));
    encoder.modWheel(1.0f);
}

}  // namespace
