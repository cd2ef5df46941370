#include <gtest/gtest.h>

#include "framework/FloatPluginParameter.h"
#include "midi/DefaultChannelEventReceiver.h"
#include "midi/DefaultEventReceiver.h"
#include "midi/MidiControllerMap.h"
#include "midi/MidiDecoder.h"
#include "tests/midi/MidiTestDoubles.h"
#include "tests/midi/RecordingPlugin.h"
#include "tests/support/AllocationCounter.h"

namespace {

using Note = RecordingPlugin::Note;
using Notes = std::vector<Note>;

// A plug-in core with its default receivers on a controller map, fed through a decoder.
struct DefaultSetup {
    RecordingPlugin plugin;
    MidiControllerMap map;
    DefaultEventReceiver events{plugin, &map};
    DefaultChannelEventReceiver* receiver =
        static_cast<DefaultChannelEventReceiver*>(events.receiver());
    MidiDecoder decoder{&events};
};

TEST(DefaultEventReceiver, ChannelPropertyMovesTheReceiverBetweenSlots) {
    DefaultSetup s;
    struct SlotWatcher : PropertyOwner {
        void propertyChanged(const void* property) override { changed.push_back(property); }
        std::vector<const void*> changed;
    } watcher;
    s.events.setSlotWatcher(&watcher);
    // Every channel at first: a note on channel 5, its release on 1, all notes off on 16.
    EXPECT_EQ(s.events.channelReceiver(0), s.receiver);
    const uint8_t omni[][3] = {{0x94, 60, 127}, {0x90, 60, 0}, {0xBF, 123, 0}};
    for (const auto& m : omni) s.decoder.receive(m[0], m[1], m[2]);
    EXPECT_EQ(s.plugin.notes, (Notes{{true, 60, 1.0f}, {false, 60, 0.0f}, {false, 0, 0.0f}}));
    s.plugin.notes.clear();
    s.events.channel = 5;
    EXPECT_EQ(s.events.channelReceiver(0), nullptr);
    EXPECT_EQ(s.events.channelReceiver(5), s.receiver);
    EXPECT_EQ(watcher.changed,
              (std::vector<const void*>{&s.events.receiverSlot(0), &s.events.receiverSlot(5)}));
    for (uint8_t status : {0x90, 0x95, 0x94}) s.decoder.receive(status, status & 0x7F, 127);
    EXPECT_EQ(s.plugin.notes, (Notes{{true, 0x14, 1.0f}}));  // MIDI channel 5 only

    s.events.channel = 99;  // clamped to channel 16
    EXPECT_EQ(s.events.channelReceiver(16), s.receiver);
    s.events.channel = 0;
    for (int index = 1; index < AbstractMusicEventReceiver::kChannelIndexes; ++index)
        EXPECT_EQ(s.events.channelReceiver(index), nullptr);

    // A replaced receiver takes the current slot and the learn parameter.
    s.events.channel = 3;
    watcher.changed.clear();
    EventLog log;
    auto replacement = std::make_unique<LoggingReceiver>(log, "");
    auto* raw = replacement.get();
    s.events.setChannelReceiver(std::move(replacement));
    EXPECT_EQ(s.events.channelReceiver(3), raw);
    EXPECT_EQ(watcher.changed, (std::vector<const void*>{&s.events.receiverSlot(3)}));
    s.decoder.receive(0x92, 64, 127);
    EXPECT_EQ(log, (EventLog{"on 64 1"}));
    EXPECT_EQ(s.plugin.notes.size(), 1u);
    s.events.setLearnParameter(12);
    EXPECT_EQ(raw->learnParameter(), 12);
}

// Learning itself is the channel receiver's test; the learn parameter's way there is checked above.
TEST(DefaultChannelEventReceiver, ControllersAndProgramsWithoutAllocating) {
    DefaultSetup s;
    s.decoder.receive(0xC0, 1, 0);  // without a handler program changes do nothing
    std::vector<std::pair<int, int>> programs;
    programs.reserve(256);
    s.receiver->setProgramChangeHandler(
        [&](int bank, int program) { programs.emplace_back(bank, program); });
    FloatPluginParameter cutoff(&s.plugin, "Cutoff");
    cutoff.setRange(0.0f, 100.0f, 50.0f);
    const int id = static_cast<int>(cutoff.id());
    s.map.assign(21, id);
    CheckingListener listeners[4];

    AllocationGuard guard;
    // Listeners added on the audio thread fit in the reserved room.
    for (auto& l : listeners) s.receiver->addListener(&l);
    s.receiver->removeListener(&listeners[1]);
    s.receiver->addListener(&listeners[1]);
    for (int i = 0; i < 100; ++i) {
        const uint8_t messages[][3] = {{0x90, 60, 100}, {0x80, 60, 0}, {0xB9, 0, 1},
                                       {0xB9, 32, 2},   {0xC9, 17, 0}, {0xE5, 3, 70},
                                       {0xD0, 9, 0},    {0xA0, 60, 1}, {0xB0, 123, 0}};
        for (const auto& m : messages) s.decoder.receive(m[0], m[1], m[2]);
    }
    // A mapped controller sets the parameter from its normalised value.
    EXPECT_FALSE(s.plugin.changedByMidi());
    s.decoder.receive(0xB0, 21, 127);
    EXPECT_EQ(guard.allocations(), 0u);
    EXPECT_FLOAT_EQ(cutoff.getValue(), 100.0f);
    EXPECT_TRUE(s.plugin.changedByMidi());
    EXPECT_EQ(programs.size(), 100u);
    EXPECT_EQ(programs[0], std::make_pair(130, 17));
    EXPECT_EQ(s.plugin.notes.size(), 300u);
    // Per round: note on, note off, bend, two pressures and the all-notes-off release.
    for (const auto& l : listeners) EXPECT_EQ(l.events, 601);
}

}  // namespace
