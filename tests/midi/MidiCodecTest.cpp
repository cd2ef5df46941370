#include <gtest/gtest.h>

#include <array>
#include <limits>

#include "midi/MidiDecoder.h"
#include "midi/MidiEncoder.h"
#include "tests/midi/MidiTestDoubles.h"

namespace {

class MidiDecoderTest : public ::testing::Test {
protected:
    MidiDecoderTest() { events.put(AbstractMusicEventReceiver::kAllChannels, &all); }

    EventLog log;
    LoggingReceiver all{log, "", true};
    SlotEventReceiver events;
    MidiDecoder decoder{&events};
};

TEST_F(MidiDecoderTest, EveryChannelMessageOnEveryChannel) {
    // Type and data bytes, and the event they decode to.
    const struct {
        uint8_t type, data1, data2;
        const char* event;
    } messages[] = {
        {0x90, 60, 127, "on 60 1"},        {0x90, 61, 64, "on 61 0.5039"},
        {0x90, 61, 0, "off 61 0"},  // a note-on with velocity 0 is a note-off
        {0x80, 60, 1, "off 60 0.007874"},  {0xA0, 62, 100, "poly 62 0.7874"},
        {0xD0, 127, 55, "pressure 1"},                                 // data2 is past the message
        {0xB0, 7, 100, "cc 7 100 0.7874"}, {0xB0, 123, 0, "off 0 0"},  // all notes off
        {0xE0, 0, 64, "bend 3.052e-05"},  // the centre is 8192/16383 - 0.5, not zero
        {0xE0, 0, 0, "bend -0.5"},         {0xE0, 127, 127, "bend 0.5"},
        {0xE0, 1, 0, "bend -0.4999"},      {0xC0, 9, 5, "program 0 9"},
        {0x90, 0xBC, 0xFF, "on 60 1"},  // status bytes in data positions lose their top bit
    };
    // Each channel's receiver gets the message after the all-channels one; a receiver on the
    // next channel gets nothing.
    LoggingReceiver own(log, "own "), next(log, "next ");
    for (int channel = 0; channel < 16; ++channel) {
        events.put(channel + 1, &own);
        events.put((channel + 1) % 16 + 1, &next);
        for (const auto& m : messages) {
            log.clear();
            const int status = m.type | channel;
            decoder.receive(status, m.data1, m.data2);
            EXPECT_EQ(log, (EventLog{eventLine("raw", status, m.data1, m.data2), m.event,
                                     std::string("own ") + m.event}));
        }
        events.put(channel + 1, nullptr);
    }
}

TEST_F(MidiDecoderTest, BankSelectIsKeptPerChannelIndexForProgramChanges) {
    LoggingReceiver third(log, "3: ");
    events.put(3, &third);
    // Bank selects are consumed here; MSB keeps the LSB and LSB keeps the MSB.
    const std::array<uint8_t, 3> messages[] = {{0xB2, 0, 1},   {0xB2, 32, 2}, {0xC2, 7, 0},
                                               {0xB0, 0, 127}, {0xC0, 9, 0},  {0xB0, 32, 5},
                                               {0xC0, 10, 0}};
    for (auto [status, data1, data2] : messages) decoder.receive(status, data1, data2);
    std::erase_if(log, [](const std::string& line) { return line.starts_with("raw"); });
    EXPECT_EQ(log, (EventLog{"program 130 7", "3: program 130 7", "program 16258 9",
                             "program 16261 10"}));
    EXPECT_EQ(decoder.bank(0), 127u * 128 + 5);
    EXPECT_EQ(decoder.bank(3), 130u);
    EXPECT_EQ(decoder.bank(1), 0u);  // channel 1 has no receiver: its bank is untouched
}

TEST_F(MidiDecoderTest, SystemResetReachesOnlyTheHandler) {
    struct CountingHandler : AbstractMusicEventReceiver::SystemHandler {
        void reset() override { ++resets; }
        int resets = 0;
    } handler;
    decoder.receive(0xFF, 0, 0);  // without a handler: ignored
    events.setSystemHandler(&handler);
    for (int status = 0xF0; status <= 0xFF; ++status) decoder.receive(status, 60, 100);
    EXPECT_EQ(handler.resets, 1);
    EXPECT_EQ(log.size(), 17u);  // raw messages only

    MidiDecoder(nullptr).receive(0x90, 60, 100);  // ignores everything
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
        EXPECT_EQ((std::array<int, 3>{e.status, e.data1, e.data2}),
                  (std::array{c.status, c.data1, c.data2}))
            << &c - cases;
    }

    // Pressures are not encoded; without a receiver nothing is sent.
    MessageLog log;
    MidiEncoder encoder(&log);
    encoder.channelPressure(0.5f);
    encoder.polyPressure(60, 0.5f);
    encoder.setReceiver(nullptr);
    encoder.noteOn(60, 1.0f);
    EXPECT_TRUE(log.events.empty());
}

TEST_F(MidiDecoderTest, EncoderRoundTripsThroughTheDecoder) {
    MidiEncoder encoder(&decoder, 7);
    // Every velocity comes back as itself.
    for (int v = 1; v <= 127; ++v) {
        log.clear();
        encoder.noteOn(33, static_cast<float>(v) / 127.0f);
        EXPECT_EQ(log, (EventLog{eventLine("raw", 0x96, 33, v), eventLine("on", 33, v / 127.0f)}));
    }
    // Pitch bend comes back within one 14-bit step, never above the original.
    struct BendReceiver : AbstractChannelEventReceiver {
        void pitchBend(float b) override { decoded = b; }
        float decoded = 0.0f;
    } bends;
    events.put(AbstractMusicEventReceiver::kAllChannels, &bends);
    for (int i = 0; i <= 1000; ++i) {
        const float bend = -0.5f + static_cast<float>(i) / 1000.0f;
        encoder.pitchBend(bend);
        EXPECT_LE(bends.decoded, bend + 1e-6f) << bend;
        EXPECT_GT(bends.decoded, bend - 1.0 / 16383.0 - 1e-6) << bend;
    }
}

}  // namespace
