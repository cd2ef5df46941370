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

int mappedCount(const MidiControllerMap& map, int32_t id) {
    int n = 0;
    for (int c = 0; c < MidiControllerMap::kControllers; ++c) n += map.parameterFor(c) == id;
    return n;
}

TEST(MidiControllerMap, AParameterHasAtMostOneController) {
    MidiControllerMap map;
    EXPECT_EQ(mappedCount(map, -1), MidiControllerMap::kControllers);

    map.assign(21, 3);
    map.assign(74, 32);
    map.assign(20, 3);  // moves parameter 3 from controller 21 to 20
    EXPECT_EQ(map.parameterFor(20), 3);
    EXPECT_EQ(map.parameterFor(21), -1);
    EXPECT_EQ(map.parameterFor(74), 32);
    map.assign(20, 3);  // already there: nothing changes
    EXPECT_EQ(mappedCount(map, 3), 1);

    map.assign(74, 3);  // a controller takes a new parameter; its old one is simply dropped
    EXPECT_EQ(map.parameterFor(74), 3);
    EXPECT_EQ(map.parameterFor(20), -1);
    EXPECT_EQ(mappedCount(map, 32), 0);
    map.assign(MidiControllerMap::kNoController, 3);  // unmaps only
    EXPECT_EQ(mappedCount(map, 3), 0);

    // Controllers outside the range are never assigned or looked up.
    map.assign(5, 30);
    map.assign(128, 30);
    map.assign(-2, 30);
    map.assign(1000, 7);
    EXPECT_EQ(map.parameterFor(5), 30);
    EXPECT_EQ(mappedCount(map, 7), 0);
    EXPECT_EQ(map.parameterFor(128), -1);
    EXPECT_EQ(map.parameterFor(-1), -1);
    map.assign(127, 0x100000);
    EXPECT_EQ(map.parameterFor(127), 0x100000);
    map.clear();
    EXPECT_EQ(mappedCount(map, -1), MidiControllerMap::kControllers);
}

TEST(ChannelEventReceiver, ForwardsEveryEventToListenersInOrder) {
    ForwardingReceiver receiver;
    StrictMock<MockListener> first, second, removed;
    receiver.addListener(&removed);
    receiver.addListener(&first);
    receiver.addListener(&removed);
    receiver.addListener(&second);
    receiver.removeListener(&removed);  // every occurrence: the strict mock sees nothing
    EXPECT_EQ(receiver.listeners().size(), 2u);
    {
        InSequence order;
        for (auto* l : {&first, &second}) EXPECT_CALL(*l, noteOn(60, FloatEq(0.5f)));
        for (auto* l : {&first, &second}) EXPECT_CALL(*l, noteOff(60, FloatEq(0.25f)));
        for (auto* l : {&first, &second}) EXPECT_CALL(*l, polyPressure(61, FloatEq(0.75f)));
        for (auto* l : {&first, &second}) EXPECT_CALL(*l, channelPressure(FloatEq(0.125f)));
        for (auto* l : {&first, &second}) EXPECT_CALL(*l, pitchBend(FloatEq(-0.5f)));
        for (auto* l : {&first, &second}) EXPECT_CALL(*l, controller(7, 64, FloatEq(0.5f)));
        // The modulation wheel arrives twice: as controller 1 and as modWheel.
        for (auto* l : {&first, &second}) {
            EXPECT_CALL(*l, controller(1, 127, FloatEq(1.0f)));
            EXPECT_CALL(*l, modWheel(FloatEq(1.0f)));
        }
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
    EXPECT_EQ(receiver.mapped, (std::vector<std::pair<int, float>>{{32, 1.0f}}));

    // Learning parameter 3 on controller 20: the old controller 21 is unmapped and the value
    // applies at once.
    receiver.mapped.clear();
    receiver.setLearnParameter(3);
    receiver.controller(20, 64, 0.5f);
    EXPECT_EQ(map.parameterFor(20), 3);
    EXPECT_EQ(map.parameterFor(21), -1);
    EXPECT_EQ(receiver.mapped, (std::vector<std::pair<int, float>>{{3, 0.5f}}));

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
    CheckingListener listeners[4];
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
    for (const auto& l : listeners) EXPECT_EQ(l.events, 90);
}

}  // namespace
