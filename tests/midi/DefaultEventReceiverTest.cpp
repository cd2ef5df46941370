#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "framework/FloatPluginParameter.h"
#include "midi/DefaultChannelEventReceiver.h"
#include "midi/DefaultEventReceiver.h"
#include "midi/MidiControllerMap.h"
#include "midi/MidiDecoder.h"
#include "tests/midi/MidiTestDoubles.h"
#include "tests/midi/RecordingPlugin.h"
#include "tests/support/AllocationCounter.h"

using ::testing::ElementsAre;

namespace {

using Note = RecordingPlugin::Note;

class SlotWatcher : public PropertyOwner {
public:
    void propertyChanged(const void* property) override { changed.push_back(property); }
    std::vector<const void*> changed;
};

// A plug-in core with its default receivers on a controller map, fed through a decoder.
struct DefaultSetup {
    RecordingPlugin plugin;
    MidiControllerMap map;
    DefaultEventReceiver events{plugin, &map};
    DefaultChannelEventReceiver* receiver =
        static_cast<DefaultChannelEventReceiver*>(events.receiver());
    MidiDecoder decoder{&events};
};

TEST(DefaultEventReceiver, CorePlaysEveryNoteOnceAtItsOffset) {
    RecordingPlugin plugin;
    ASSERT_NE(plugin.eventReceiver, nullptr);
    float left[64], right[64];
    float* outputs[] = {left, right};
    plugin.receiveMidi(MidiEvent{0x94, 60, 127, 0, 10});  // MIDI channel 5
    plugin.receiveMidi(MidiEvent{0x90, 60, 0, 0, 20});
    plugin.receiveMidi(MidiEvent{0xBF, 123, 0, 0, 30});
    plugin.processBlock(nullptr, 0, outputs, 2, 64);
    EXPECT_THAT(plugin.notes,
                ElementsAre(Note{true, 60, 1.0f}, Note{false, 60, 0.0f}, Note{false, 0, 0.0f}));
}

TEST(DefaultEventReceiver, ChannelPropertyMovesTheReceiverBetweenSlots) {
    DefaultSetup s;
    SlotWatcher watcher;
    s.events.setSlotWatcher(&watcher);
    ASSERT_NE(s.receiver, nullptr);
    EXPECT_EQ(s.events.channel, 0);
    EXPECT_EQ(s.events.channelReceiver(0), s.receiver);

    s.events.channel = 5;
    EXPECT_EQ(s.events.channelReceiver(0), nullptr);
    EXPECT_EQ(s.events.channelReceiver(5), s.receiver);
    EXPECT_THAT(watcher.changed, ElementsAre(&s.events.receiverSlot(0), &s.events.receiverSlot(5)));
    s.decoder.receive(0x90, 40, 127);  // MIDI channel 1
    s.decoder.receive(0x95, 41, 127);  // MIDI channel 6
    s.decoder.receive(0x94, 42, 127);  // MIDI channel 5
    EXPECT_THAT(s.plugin.notes, ElementsAre(Note{true, 42, 1.0f}));

    s.events.channel = 99;  // clamped to channel 16
    EXPECT_EQ(s.events.channelReceiver(16), s.receiver);
    EXPECT_EQ(s.events.channelReceiver(5), nullptr);
    s.events.channel = 0;
    for (int index = 1; index < AbstractMusicEventReceiver::kChannelIndexes; ++index) {
        EXPECT_EQ(s.events.channelReceiver(index), nullptr);
    }

    // A replaced receiver takes the current slot.
    s.events.channel = 3;
    watcher.changed.clear();
    auto replacement = std::make_unique<testing::NiceMock<MockChannelReceiver>>();
    auto* raw = replacement.get();
    EXPECT_CALL(*raw, noteOn(64, testing::_));
    s.events.setChannelReceiver(std::move(replacement));
    EXPECT_EQ(s.events.receiver(), raw);
    EXPECT_EQ(s.events.channelReceiver(3), raw);
    EXPECT_THAT(watcher.changed, ElementsAre(&s.events.receiverSlot(3)));
    s.decoder.receive(0x92, 64, 1);
    EXPECT_EQ(s.plugin.notes.size(), 1u);
    s.events.setLearnParameter(12);
    EXPECT_EQ(raw->learnParameter(), 12);
}

TEST(DefaultChannelEventReceiver, ControllersProgramsAndLearning) {
    DefaultSetup s;
    EXPECT_EQ(s.receiver->controllerMap(), &s.map);
    s.decoder.receive(0xC0, 1, 0);  // without a handler program changes do nothing
    std::vector<std::pair<int, int>> programs;
    s.receiver->setProgramChangeHandler(
        [&](int bank, int program) { programs.emplace_back(bank, program); });
    s.decoder.receive(0xB9, 0, 1);
    s.decoder.receive(0xB9, 32, 2);
    s.decoder.receive(0xC9, 17, 0);
    EXPECT_THAT(programs, ElementsAre(std::make_pair(130, 17)));

    // A mapped controller sets the parameter from its normalised value.
    FloatPluginParameter cutoff(&s.plugin, "Cutoff");
    cutoff.setRange(0.0f, 100.0f, 50.0f);
    const int id = static_cast<int>(cutoff.id());
    s.map.assign(21, id);
    EXPECT_FALSE(s.plugin.changedByMidi());
    s.decoder.receive(0xB0, 21, 127);
    EXPECT_FLOAT_EQ(cutoff.getValue(), 100.0f);
    EXPECT_TRUE(s.plugin.changedByMidi());

    // The learn parameter reaches the channel receiver; the next controller takes over the
    // parameter and moves it at once.
    s.events.setLearnParameter(id);
    EXPECT_EQ(s.receiver->learnParameter(), id);
    s.decoder.receive(0xB0, 20, 0);
    EXPECT_EQ(s.map.parameterFor(20), id);
    EXPECT_EQ(s.map.parameterFor(21), -1);
    EXPECT_FLOAT_EQ(cutoff.getValue(), 0.0f);
    s.events.setLearnParameter(AbstractChannelEventReceiver::kNoLearnParameter);
    EXPECT_EQ(s.receiver->learnParameter(), -1);
    s.decoder.receive(0xB0, 21, 127);
    EXPECT_FLOAT_EQ(cutoff.getValue(), 0.0f);
}

TEST(DefaultChannelEventReceiver, DispatchDoesNotAllocate) {
    DefaultSetup s;
    int programs = 0;
    s.receiver->setProgramChangeHandler([&](int, int) { ++programs; });
    FloatPluginParameter level(&s.plugin, "Level");
    level.setRange(0.0f, 1.0f, 0.0f);
    s.map.assign(7, static_cast<int>(level.id()));

    AllocationGuard guard;
    for (int i = 0; i < 100; ++i) {
        s.decoder.receive(0x90, i, 100);
        s.decoder.receive(0x80, i, 0);
        s.decoder.receive(0xB0, 7, i);
        s.decoder.receive(0xC0, i, 0);
    }
    EXPECT_EQ(guard.allocations(), 0u);
    EXPECT_EQ(programs, 100);
    EXPECT_EQ(s.plugin.notes.size(), 200u);
    EXPECT_FLOAT_EQ(level.getValue(), 99.0f / 127.0f);
}

}  // namespace
