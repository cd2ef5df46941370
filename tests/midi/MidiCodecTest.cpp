#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>

#include "midi/MidiDecoder.h"
#include "midi/MidiEncoder.h"
#include "tests/midi/MidiTestDoubles.h"

using ::testing::_;
using ::testing::FloatEq;
using ::testing::InSequence;
using ::testing::NiceMock;
using ::testing::StrictMock;

namespace {

class MidiDecoderTest : public ::testing::Test {
protected:
    MidiDecoderTest() { events.put(AbstractMusicEventReceiver::kAllChannels, &all); }

    SlotEventReceiver events;
    NiceMock<MockChannelReceiver> all;
    MidiDecoder decoder{&events};
};

class CountingHandler : public AbstractMusicEventReceiver::SystemHandler {
public:
    void reset() override { ++resets; }
    int resets = 0;
};

TEST_F(MidiDecoderTest, NotesAndPressuresCarryNormalisedValues) {
    InSequence order;
    EXPECT_CALL(all, noteOn(60, FloatEq(1.0f)));
    EXPECT_CALL(all, noteOn(61, FloatEq(64.0f / 127.0f)));
    EXPECT_CALL(all, noteOff(61, FloatEq(0.0f)));  // note-on with velocity 0
    EXPECT_CALL(all, noteOff(60, FloatEq(1.0f / 127.0f)));
    EXPECT_CALL(all, polyPressure(62, FloatEq(100.0f / 127.0f)));
    EXPECT_CALL(all, channelPressure(FloatEq(1.0f)));
    EXPECT_CALL(all, noteOff(127, FloatEq(0.0f)));
    decoder.receive(0x90, 60, 127);
    decoder.receive(0x93, 61, 64);
    decoder.receive(0x93, 61, 0);
    decoder.receive(0x80, 60, 1);
    decoder.receive(0xA0, 62, 100);
    decoder.receive(0xD0, 127, 55);  // data2 is past the message and ignored
    decoder.receiveMidi(MidiEvent{0x9F, 127, 0, 0, 17});
}

TEST_F(MidiDecoderTest, ChannelMessageReachesAllChannelsSlotThenItsChannel) {
    StrictMock<MockChannelReceiver> channel5;
    StrictMock<MockChannelReceiver> channel6;
    events.put(5, &channel5);
    events.put(6, &channel6);
    {
        InSequence order;
        EXPECT_CALL(all, rawMessage(0x94, 40, 90));
        EXPECT_CALL(all, noteOn(40, _));
        EXPECT_CALL(channel5, noteOn(40, FloatEq(90.0f / 127.0f)));
    }
    decoder.receive(0x94, 40, 90);
    // Only the all-channels slot sees raw messages; empty slots are skipped.
    EXPECT_CALL(all, rawMessage(0x96, 1, 2));
    EXPECT_CALL(all, noteOn(1, FloatEq(2.0f / 127.0f)));
    decoder.receive(0x96, 1, 2);
}

TEST_F(MidiDecoderTest, PitchBendSpansMinusHalfToPlusHalf) {
    float bend = 0.0f;
    EXPECT_CALL(all, pitchBend(_)).WillRepeatedly([&](float b) { bend = b; });
    // The centre is 8192/16383 - 0.5, not zero.
    const struct {
        int lsb, msb;
        double expected;
    } cases[] = {{0, 64, 8192.0 / 16383.0 - 0.5},
                 {0, 0, -0.5},
                 {127, 127, 0.5},
                 {1, 0, 1.0 / 16383.0 - 0.5}};
    for (const auto& c : cases) {
        decoder.receive(0xE0, c.lsb, c.msb);
        EXPECT_NEAR(bend, c.expected, 1e-8) << c.lsb << " " << c.msb;
    }
    decoder.receive(0xE0, 0, 64);
    EXPECT_GT(bend, 3.05e-5f);
}

TEST_F(MidiDecoderTest, BankSelectIsKeptPerChannelIndexForProgramChanges) {
    StrictMock<MockChannelReceiver> channel3;
    events.put(3, &channel3);
    {
        InSequence order;
        EXPECT_CALL(all, programChange(130, 7));
        EXPECT_CALL(channel3, programChange(130, 7));
        EXPECT_CALL(all, programChange(127 * 128 + 2, 9));
        EXPECT_CALL(all, programChange(127 * 128 + 5, 10));
    }
    // Bank selects are consumed here and never reach the receivers as controllers.
    EXPECT_CALL(all, controller(_, _, _)).Times(0);
    decoder.receive(0xB2, 0, 1);   // MSB 1 on channel 3
    decoder.receive(0xB2, 32, 2);  // LSB 2
    EXPECT_EQ(decoder.bank(3), 130u);
    decoder.receive(0xC2, 7, 0);
    // MSB keeps the LSB and LSB keeps the MSB; both stay within 14 bits.
    decoder.receive(0xB0, 0, 127);
    EXPECT_EQ(decoder.bank(0), 127u * 128 + 2);
    EXPECT_EQ(decoder.bank(3), 130u);
    EXPECT_EQ(decoder.bank(1), 0u);  // channel 1 has no receiver: its bank is untouched
    decoder.receive(0xC0, 9, 0);
    decoder.receive(0xB0, 32, 5);
    EXPECT_EQ(decoder.bank(0), 127u * 128 + 5);
    decoder.receive(0xC0, 10, 0);
}

TEST_F(MidiDecoderTest, ControllersAllNotesOffAndSystemMessages) {
    CountingHandler handler;
    {
        InSequence order;
        EXPECT_CALL(all, controller(1, 100, FloatEq(100.0f / 127.0f)));
        EXPECT_CALL(all, noteOff(0, FloatEq(0.0f)));
        EXPECT_CALL(all, controller(122, 0, FloatEq(0.0f)));
        EXPECT_CALL(all, controller(124, 127, FloatEq(1.0f)));
    }
    decoder.receive(0xB0, 1, 100);
    decoder.receive(0xB0, 123, 0);
    decoder.receive(0xB0, 122, 0);
    decoder.receive(0xB0, 124, 127);

    // Without a handler a reset is ignored; other system messages are always ignored.
    decoder.receive(0xFF, 0, 0);
    events.setSystemHandler(&handler);
    for (int status = 0xF0; status < 0xFF; ++status) decoder.receive(status, 60, 100);
    EXPECT_EQ(handler.resets, 0);
    decoder.receive(0xFF, 0, 0);
    EXPECT_EQ(handler.resets, 1);

    MidiDecoder unconnected(nullptr);  // ignores everything
    unconnected.receive(0x90, 60, 100);
    unconnected.receive(0xFF, 0, 0);
    SlotEventReceiver empty;
    MidiDecoder emptyDecoder(&empty);
    emptyDecoder.receive(0xB0, 0, 5);
    EXPECT_EQ(emptyDecoder.bank(0), 0u);  // no receiver: the bank is untouched
}

TEST(MidiEncoder, BytesForEveryMessage) {
    const struct {
        int channel;
        void (*play)(MidiEncoder&);
        int status, data1, data2;
    } cases[] = {
        // Velocities round half away from zero and clamp.
        {16, [](MidiEncoder& e) { e.noteOn(60, 0.5f); }, 0x9F, 60, 64},  // 63.5 rounds up
        {16, [](MidiEncoder& e) { e.noteOn(60, 63.49f / 127.0f); }, 0x9F, 60, 63},
        {16, [](MidiEncoder& e) { e.noteOff(61, 1.0f); }, 0x8F, 61, 127},
        {16, [](MidiEncoder& e) { e.noteOn(200, 1.5f); }, 0x9F, 127, 127},
        {16, [](MidiEncoder& e) { e.noteOff(-3, -0.2f); }, 0x8F, 0, 0},
        {16, [](MidiEncoder& e) { e.noteOn(5, std::numeric_limits<float>::quiet_NaN()); }, 0x9F, 5,
         0},
        {3, [](MidiEncoder& e) { e.controller(74, 0, 1.0f); }, 0xB2, 74, 127},
        {1, [](MidiEncoder& e) { e.modWheel(0.25f); }, 0xB0, 1, 32},
        // Out-of-range channels are clamped to 1..16.
        {0, [](MidiEncoder& e) { e.noteOn(1, 1.0f); }, 0x90, 1, 127},
        {40, [](MidiEncoder& e) { e.noteOn(1, 1.0f); }, 0x9F, 1, 127},
        // Pitch bend truncates and clamps.
        {1, [](MidiEncoder& e) { e.pitchBend(-0.5f); }, 0xE0, 0, 0},
        {1, [](MidiEncoder& e) { e.pitchBend(0.5f); }, 0xE0, 127, 127},
        {1, [](MidiEncoder& e) { e.pitchBend(0.0f); }, 0xE0, 127, 63},  // 8191.5 -> 8191
        {1, [](MidiEncoder& e) { e.pitchBend(3.0f); }, 0xE0, 127, 127},
        {1, [](MidiEncoder& e) { e.pitchBend(-3.0f); }, 0xE0, 0, 0},
    };
    for (const auto& c : cases) {
        MessageLog log;
        MidiEncoder encoder(&log, c.channel);
        c.play(encoder);
        ASSERT_EQ(log.events.size(), 1u);
        const MidiEvent& e = log.events[0];
        EXPECT_EQ(e.status, c.status) << &c - cases;
        EXPECT_EQ(e.data1, c.data1) << &c - cases;
        EXPECT_EQ(e.data2, c.data2) << &c - cases;
    }

    // Every velocity the decoder produces comes back as the same byte.
    MessageLog log;
    MidiEncoder encoder(&log);
    for (int v = 0; v <= 127; ++v) encoder.noteOn(1, static_cast<float>(v) / 127.0f);
    for (int v = 0; v <= 127; ++v) EXPECT_EQ(log.events[v].data2, v) << v;

    // Pressures are not encoded; without a receiver nothing is sent.
    log.events.clear();
    encoder.channelPressure(0.5f);
    encoder.polyPressure(60, 0.5f);
    encoder.setReceiver(nullptr);
    encoder.noteOn(60, 1.0f);
    EXPECT_TRUE(log.events.empty());
}

TEST(MidiEncoder, RoundTripThroughTheDecoder) {
    SlotEventReceiver events;
    StrictMock<MockChannelReceiver> receiver;
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
    EXPECT_CALL(receiver, noteOn(33, FloatEq(100.0f / 127.0f)));
    encoder.noteOn(33, 100.0f / 127.0f);
    EXPECT_CALL(receiver, rawMessage(0xB6, 1, 127));
    EXPECT_CALL(receiver, controller(1, 127, FloatEq(1.0f)));
    encoder.modWheel(1.0f);
}

}  // namespace
