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

TEST(DefaultEventReceiver, CorePlaysEveryNoteOnceAtItsOffset) {
    RecordingPlugin plugin;
    ASSERT_NE(plugin.eventReceiver(), nullptr);
    float left[64];
    float right[64];
    float* outputs[] = {left, right};

    plugin.receiveMidi(MidiEvent{0x94, 60, 127, 0, 10});  // MIDI channel 5
    plugin.receiveMidi(MidiEvent{0x90, 60, 0, 0, 20});
    plugin.receiveMidi(MidiEvent{0xBF, 123, 0, 0, 30});
    plugin.processBlock(nullptr, 0, outputs, 2, 64);
    EXPECT_THAT(plugin.notes,
                ElementsAre(Note{true, 60, 1.0f}, Note{false, 60, 0.0f}, Note{false, 0, 0.0f}));
}

TEST(DefaultEventReceiver, ChannelPropertyMovesTheReceiverBetweenSlots) {
    RecordingPlugin plugin;
    DefaultEventReceiver events(plugin);
    SlotWatcher watcher;
    events.setSlotWatcher(&watcher);
    MidiDecoder decoder(&events);
    AbstractChannelEventReceiver* receiver = events.receiver();
    ASSERT_NE(receiver, nullptr);
    EXPECT_EQ(events.channel, 0);
    EXPECT_EQ(events.channelReceiver(0), receiver);

    events.channel = 5;
    EXPECT_EQ(events.channelReceiver(0), nullptr);
    EXPECT_EQ(events.channelReceiver(5), receiver);
    EXPECT_THAT(watcher.changed, ElementsAre(&events.receiverSlot(0), &events.receiverSlot(5)));

    decoder.receive(0x90, 40, 127);  // MIDI channel 1
    decoder.receive(0x95, 41, 127);  // MIDI channel 6
    decoder.receive(0x94, 42, 127);  // MIDI channel 5
    EXPECT_THAT(plugin.notes, ElementsAre(Note{true, 42, 1.0f}));

    events.channel = 99;  // clamped to channel 16
    EXPECT_EQ(events.channelReceiver(16), receiver);
    EXPECT_EQ(events.channelReceiver(5), nullptr);
    events.channel = 0;
    for (int index = 1; index < AbstractMusicEventReceiver::kChannelIndexes; ++index) {
        EXPECT_EQ(events.channelReceiver(index), nullptr);
    }
}

TEST(DefaultEventReceiver, ReplacedReceiverTakesTheCurrentSlot) {
    RecordingPlugin plugin;
    DefaultEventReceiver events(plugin);
    events.channel = 3;
    SlotWatcher watcher;
    events.setSlotWatcher(&watcher);

    auto replacement = std::make_unique<testing::NiceMock<MockChannelReceiver>>();
    auto* raw = replacement.get();
    EXPECT_CALL(*raw, noteOn(64, testing::_));
    events.setChannelReceiver(std::move(replacement));
    EXPECT_EQ(events.receiver(), raw);
    EXPECT_EQ(events.channelReceiver(3), raw);
    EXPECT_THAT(watcher.changed, ElementsAre(&events.receiverSlot(3)));

    MidiDecoder decoder(&events);
    decoder.receive(0x92, 64, 1);
    EXPECT_TRUE(plugin.notes.empty());

    events.setLearnParameter(12);
    EXPECT_EQ(raw->learnParameter(), 12);
}

TEST(DefaultChannelEventReceiver, ControllersProgramsAndLearning) {
    RecordingPlugin plugin;
    MidiControllerMap map;
    DefaultEventReceiver events(plugin, &map);
    auto* receiver = static_cast<DefaultChannelEventReceiver*>(events.receiver());
    EXPECT_EQ(receiver->controllerMap(), &map);
    MidiDecoder decoder(&events);

    // Without a handler program changes do nothing.
    decoder.receive(0xC0, 1, 0);
    std::vector<std::pair<int, int>> programs;
    receiver->setProgramChangeHandler(
        [&](int bank, int program) { programs.emplace_back(bank, program); });
    decoder.receive(0xB9, 0, 1);
    decoder.receive(0xB9, 32, 2);
    decoder.receive(0xC9, 17, 0);
    EXPECT_THAT(programs, ElementsAre(std::make_pair(130, 17)));

    // A mapped controller sets the parameter from its normalised value.
    FloatPluginParameter cutoff(&plugin, "Cutoff");
    cutoff.setRange(0.0f, 100.0f, 50.0f);
    const int id = static_cast<int>(cutoff.id());
    map.assign(21, id);
    EXPECT_FALSE(plugin.changedByMidi());
    decoder.receive(0xB0, 21, 127);
    EXPECT_FLOAT_EQ(cutoff.getValue(), 100.0f);
    EXPECT_TRUE(plugin.changedByMidi());

    // The learn parameter reaches the channel receiver; the next controller takes over the
    // parameter and moves it at once.
    events.setLearnParameter(id);
    EXPECT_EQ(receiver->learnParameter(), id);
    decoder.receive(0xB0, 20, 0);
    EXPECT_EQ(map.parameterFor(20), id);
    EXPECT_EQ(map.parameterFor(21), -1);
    EXPECT_FLOAT_EQ(cutoff.getValue(), 0.0f);
    events.setLearnParameter(AbstractChannelEventReceiver::kNoLearnParameter);
    EXPECT_EQ(receiver->learnParameter(), -1);
    decoder.receive(0xB0, 21, 127);
    EXPECT_FLOAT_EQ(cutoff.getValue(), 0.0f);
}

TEST(DefaultChannelEventReceiver, DispatchDoesNotAllocate) {
    RecordingPlugin plugin;
    MidiControllerMap map;
    DefaultEventReceiver events(plugin, &map);
    auto* receiver = static_cast<DefaultChannelEventReceiver*>(events.receiver());
    int programs = 0;
    receiver->setProgramChangeHandler([&](int, int) { ++programs; });
    FloatPluginParameter level(&plugin, "Level");
    level.setRange(0.0f, 1.0f, 0.0f);
    map.assign(7, static_cast<int>(level.id()));
    MidiDecoder decoder(&events);

    AllocationGuard guard;
    for (int i = 0; i < 100; ++i) {
        decoder.receive(0x90, i, 100);
        decoder.receive(0x80, i, 0);
        decoder.receive(0xB0, 7, i);
        decoder.receive(0xC0, i, 0);
    }
    EXPECT_EQ(guard.allocations(), 0u);
    EXPECT_EQ(programs, 100);
    EXPECT_EQ(plugin.notes.size(), 200u);
    EXPECT_FLOAT_EQ(level.getValue(), 99.0f / 127.0f);
}

}  // namespace
