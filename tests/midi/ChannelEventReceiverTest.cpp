#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "midi/AbstractChannelEventReceiver.h"
#include "midi/MidiControllerMap.h"
#include "midi/MidiDecoder.h"
#include "tests/midi/MidiTestDoubles.h"
#include "tests/support/AllocationCounter.h"

using ::testing::_;
using ::testing::FloatEq;
using ::testing::InSequence;
using ::testing::NiceMock;
using ::testing::StrictMock;

namespace {

// The default behaviour plus a record of the mapped controllers.
class ForwardingReceiver : public AbstractChannelEventReceiver {
public:
    using AbstractChannelEventReceiver::AbstractChannelEventReceiver;
    void mappedController(int parameterId, float normalized) override {
        mapped.emplace_back(parameterId, normalized);
    }
    std::vector<std::pair<int, float>> mapped;
};

// Counts calls without the bookkeeping of a mock, which allocates.
class CountingListener : public MidiListener {
public:
    void channelPressure(float) override { ++calls; }
    void polyPressure(int, float) override { ++calls; }
    void controller(int, int, float) override { ++calls; }
    void modWheel(float) override { ++calls; }
    void noteOff(int, float) override { ++calls; }
    void noteOn(int, float) override { ++calls; }
    void pitchBend(float) override { ++calls; }
    int calls = 0;
};

TEST(ChannelEventReceiver, ForwardsEveryEventToListenersInOrder) {
    ForwardingReceiver receiver;
    StrictMock<MockListener> first;
    StrictMock<MockListener> second;
    receiver.addListener(&first);
    receiver.addListener(&second);
    {
        InSequence order;
        EXPECT_CALL(first, noteOn(60, FloatEq(0.5f)));
        EXPECT_CALL(second, noteOn(60, FloatEq(0.5f)));
        EXPECT_CALL(first, noteOff(60, FloatEq(0.25f)));
        EXPECT_CALL(second, noteOff(60, FloatEq(0.25f)));
        EXPECT_CALL(first, polyPressure(61, FloatEq(0.75f)));
        EXPECT_CALL(second, polyPressure(61, FloatEq(0.75f)));
        EXPECT_CALL(first, channelPressure(FloatEq(0.125f)));
        EXPECT_CALL(second, channelPressure(FloatEq(0.125f)));
        EXPECT_CALL(first, pitchBend(FloatEq(-0.5f)));
        EXPECT_CALL(second, pitchBend(FloatEq(-0.5f)));
        EXPECT_CALL(first, controller(7, 64, FloatEq(0.5f)));
        EXPECT_CALL(second, controller(7, 64, FloatEq(0.5f)));
        // The modulation wheel arrives twice: as controller 1 and as modWheel.
        EXPECT_CALL(first, controller(1, 127, FloatEq(1.0f)));
        EXPECT_CALL(first, modWheel(FloatEq(1.0f)));
        EXPECT_CALL(second, controller(1, 127, FloatEq(1.0f)));
        EXPECT_CALL(second, modWheel(FloatEq(1.0f)));
    }
    receiver.noteOn(60, 0.5f);
    receiver.noteOff(60, 0.25f);
    receiver.polyPressure(61, 0.75f);
    receiver.channelPressure(0.125f);
    receiver.pitchBend(-0.5f);
    receiver.controller(7, 64, 0.5f);
    receiver.controller(1, 127, 1.0f);
    // Program changes and raw messages are not listener events.
    receiver.programChange(3, 4);
    receiver.rawMessage(0x90, 1, 2);
    EXPECT_TRUE(receiver.mapped.empty());  // no map: nothing is mapped
}

TEST(ChannelEventReceiver, RemoveListenerTakesEveryOccurrence) {
    ForwardingReceiver receiver;
    StrictMock<MockListener> twice;
    NiceMock<MockListener> other;
    receiver.addListener(&twice);
    receiver.addListener(&other);
    receiver.addListener(&twice);
    receiver.removeListener(&twice);
    ASSERT_EQ(receiver.listeners().size(), 1u);
    EXPECT_EQ(receiver.listeners()[0], &other);
    receiver.noteOn(1, 1.0f);  // the strict mock would fail if still attached
}

TEST(ChannelEventReceiver, MappedControllersAndLearning) {
    MidiControllerMap map;
    ForwardingReceiver receiver(&map);
    NiceMock<MockListener> listener;
    receiver.addListener(&listener);
    map.assign(74, 32);
    map.assign(21, 3);

    // A mapped controller reaches mappedController and still goes to the listeners.
    EXPECT_CALL(listener, controller(_, _, _)).Times(testing::AnyNumber());
    EXPECT_CALL(listener, controller(74, 127, FloatEq(1.0f)));
    receiver.controller(74, 127, 1.0f);
    receiver.controller(75, 10, 10.0f / 127.0f);
    ASSERT_EQ(receiver.mapped.size(), 1u);
    EXPECT_EQ(receiver.mapped[0].first, 32);
    EXPECT_FLOAT_EQ(receiver.mapped[0].second, 1.0f);

    // Learning parameter 3 on controller 20: the old controller 21 is unmapped and the value
    // applies at once.
    receiver.mapped.clear();
    receiver.setLearnParameter(3);
    receiver.controller(20, 64, 64.0f / 127.0f);
    EXPECT_EQ(map.parameterFor(20), 3);
    EXPECT_EQ(map.parameterFor(21), -1);
    ASSERT_EQ(receiver.mapped.size(), 1u);
    EXPECT_EQ(receiver.mapped[0].first, 3);

    // Controllers outside 0..127 are neither learned nor looked up.
    receiver.mapped.clear();
    receiver.controller(200, 1, 0.0f);
    receiver.controller(-1, 1, 0.0f);
    EXPECT_TRUE(receiver.mapped.empty());
    EXPECT_EQ(map.parameterFor(20), 3);

    // Without a learn parameter existing mappings stay.
    receiver.setLearnParameter(AbstractChannelEventReceiver::kNoLearnParameter);
    receiver.controller(21, 0, 0.0f);
    EXPECT_EQ(map.parameterFor(21), -1);
    EXPECT_TRUE(receiver.mapped.empty());

    // A receiver without a map ignores learning.
    receiver.setControllerMap(nullptr);
    receiver.setLearnParameter(5);
    receiver.controller(22, 0, 0.0f);
    EXPECT_TRUE(receiver.mapped.empty());
}

TEST(ChannelEventReceiver, DispatchDoesNotAllocate) {
    MidiControllerMap map;
    map.assign(74, 32);
    SlotEventReceiver events;
    ForwardingReceiver receiver(&map);
    receiver.mapped.reserve(64);
    CountingListener listeners[4];
    events.put(AbstractMusicEventReceiver::kAllChannels, &receiver);
    MidiDecoder decoder(&events);
    const uint8_t messages[][3] = {{0x90, 60, 100}, {0x80, 60, 0},  {0xB0, 74, 5}, {0xB0, 1, 64},
                                   {0xE5, 3, 70},   {0xD0, 9, 0},   {0xA0, 60, 1}, {0xC0, 2, 0},
                                   {0xB0, 0, 3},    {0xB0, 123, 0}, {0xFF, 0, 0},  {0xF8, 0, 0}};
    AllocationGuard guard;
    // Listeners re-added on the audio thread fit in the reserved room.
    for (auto& l : listeners) receiver.addListener(&l);
    receiver.removeListener(&listeners[1]);
    receiver.addListener(&listeners[1]);
    for (int round = 0; round < 10; ++round) {
        for (const auto& m : messages) decoder.receive(m[0], m[1], m[2]);
    }
    EXPECT_EQ(guard.allocations(), 0u);
    EXPECT_EQ(receiver.mapped.size(), 10u);
    // Per round: note on, note off, two controllers plus a mod wheel, bend, two pressures and
    // the all-notes-off release.
    for (const auto& l : listeners) EXPECT_EQ(l.calls, 90);
}

}  // namespace
