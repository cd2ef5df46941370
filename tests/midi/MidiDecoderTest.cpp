#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "midi/MidiDecoder.h"
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
    std::vector<float> bends;
    EXPECT_CALL(all, pitchBend(_)).WillRepeatedly([&](float b) { bends.push_back(b); });
    decoder.receive(0xE0, 0, 64);
    decoder.receive(0xE0, 0, 0);
    decoder.receive(0xE0, 127, 127);
    decoder.receive(0xE0, 1, 0);
    ASSERT_EQ(bends.size(), 4u);
    // The centre is 8192/16383 - 0.5, not zero.
    EXPECT_NEAR(bends[0], 8192.0 / 16383.0 - 0.5, 1e-8);
    EXPECT_GT(bends[0], 3.05e-5f);
    EXPECT_EQ(bends[1], -0.5f);
    EXPECT_EQ(bends[2], 0.5f);
    EXPECT_NEAR(bends[3], 1.0 / 16383.0 - 0.5, 1e-8);
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
}

TEST(MidiDecoderWithoutReceiver, IgnoresEverything) {
    MidiDecoder decoder(nullptr);
    decoder.receive(0x90, 60, 100);
    decoder.receive(0xFF, 0, 0);
    SlotEventReceiver empty;
    MidiDecoder emptyDecoder(&empty);
    emptyDecoder.receive(0xB0, 0, 5);
    EXPECT_EQ(emptyDecoder.bank(0), 0u);
}

}  // namespace
