#include <gtest/gtest.h>

#include <random>
#include <set>

#include "midi/DefaultChannelEventReceiver.h"
#include "midi/DefaultEventReceiver.h"
#include "midi/MidiControllerMap.h"
#include "midi/MidiDecoder.h"
#include "tests/midi/MidiTestDoubles.h"
#include "tests/midi/RecordingPlugin.h"

namespace {

TEST(MidiGarbage, RandomStreamsStayInRange) {
    RecordingPlugin plugin;
    MidiControllerMap map;
    DefaultEventReceiver events(plugin, &map);
    auto* receiver = static_cast<DefaultChannelEventReceiver*>(events.receiver());
    CheckingListener listener;
    receiver->addListener(&listener);
    int programs = 0;
    receiver->setProgramChangeHandler([&](int bank, int program) {
        EXPECT_TRUE(bank >= 0 && bank < 16384 && program >= 0 && program < 128) << bank;
        ++programs;
    });
    MidiDecoder decoder(&events);

    std::mt19937 random(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> dataOrStatus(0, 3);
    for (int i = 0; i < 200000; ++i) {
        if (i % 5000 == 0) events.channel = byte(random) % 20 - 1;  // includes invalid indexes
        if (i % 7000 == 0) events.setLearnParameter(byte(random) - 128);
        // Mostly status bytes in every position, so data bytes often carry a status.
        const int status = byte(random);
        const int data1 = dataOrStatus(random) == 0 ? byte(random) & 0x7F : byte(random);
        const int data2 = dataOrStatus(random) == 0 ? byte(random) & 0x7F : byte(random);
        decoder.receive(status, data1, data2);
        for (int c = 0; c < AbstractMusicEventReceiver::kChannelIndexes; ++c)
            ASSERT_LT(decoder.bank(c), 16384u);
    }
    EXPECT_GT(listener.events, 1000);
    EXPECT_GT(programs, 100);
    for (const auto& n : plugin.notes) EXPECT_TRUE(n.note >= 0 && n.note <= 127) << n.note;
    // Learning kept the map consistent: no parameter on two controllers.
    std::set<int32_t> mapped;
    for (int c = 0; c < MidiControllerMap::kControllers; ++c) {
        const int32_t id = map.parameterFor(c);
        EXPECT_TRUE(id < 0 || mapped.insert(id).second) << c;
    }
}

}  // namespace
