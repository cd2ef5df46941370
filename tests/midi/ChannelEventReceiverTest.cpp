#include <gtest/gtest.h>

#include "midi/AbstractChannelEventReceiver.h"
#include "midi/MidiControllerMap.h"
#include "tests/midi/MidiTestDoubles.h"

namespace {

// The default behaviour; mapped controllers are logged.
struct ForwardingReceiver : AbstractChannelEventReceiver {
    ForwardingReceiver(EventLog& l, MidiControllerMap* map)
        : AbstractChannelEventReceiver(map), log(l) {}
    void mappedController(int parameterId, float normalized) override {
        log.push_back(eventLine("mapped", parameterId, normalized));
    }
    EventLog& log;
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
    map.assign(20, 3);  // already there: nothing changes
    EXPECT_EQ(mappedCount(map, 3), 1);
    EXPECT_EQ(map.parameterFor(20), 3);
    map.assign(74, 3);  // a controller takes a new parameter; its old one is simply dropped
    EXPECT_EQ(map.parameterFor(74), 3);
    EXPECT_EQ(mappedCount(map, 3) + mappedCount(map, 32), 1);
    map.assign(MidiControllerMap::kNoController, 3);  // unmaps only
    EXPECT_EQ(mappedCount(map, 3), 0);

    // Controllers outside the range are never assigned or looked up.
    map.assign(5, 30);
    for (int outside : {128, -2, 1000}) map.assign(outside, 30);
    EXPECT_EQ(map.parameterFor(5), 30);
    EXPECT_EQ(map.parameterFor(128), -1);
    EXPECT_EQ(map.parameterFor(-1), -1);
    map.assign(127, 0x100000);
    EXPECT_EQ(map.parameterFor(127), 0x100000);
    map.clear();
    EXPECT_EQ(mappedCount(map, -1), MidiControllerMap::kControllers);
}

TEST(ChannelEventReceiver, ForwardsEveryEventToListenersInOrder) {
    EventLog log;
    ForwardingReceiver receiver(log, nullptr);
    LoggingListener first(log, "1 "), second(log, "2 "), removed(log, "removed ");
    receiver.addListener(&removed);
    receiver.addListener(&first);
    receiver.addListener(&removed);
    receiver.addListener(&second);
    receiver.removeListener(&removed);  // every occurrence
    receiver.noteOn(60, 0.5f);
    receiver.noteOff(60, 0.25f);
    receiver.polyPressure(61, 0.75f);
    receiver.channelPressure(0.125f);
    receiver.pitchBend(-0.5f);
    receiver.controller(7, 64, 0.5f);
    receiver.controller(1, 127, 1.0f);  // the modulation wheel arrives twice
    receiver.programChange(3, 4);       // not listener events
    receiver.rawMessage(0x90, 1, 2);
    EXPECT_EQ(log,
              (EventLog{"1 on 60 0.5", "2 on 60 0.5", "1 off 60 0.25", "2 off 60 0.25",
                        "1 poly 61 0.75", "2 poly 61 0.75", "1 pressure 0.125", "2 pressure 0.125",
                        "1 bend -0.5", "2 bend -0.5", "1 cc 7 64 0.5", "2 cc 7 64 0.5",
                        "1 cc 1 127 1", "1 wheel 1", "2 cc 1 127 1", "2 wheel 1"}));
}

TEST(ChannelEventReceiver, MappedControllersAndLearning) {
    EventLog log;
    MidiControllerMap map;
    ForwardingReceiver receiver(log, &map);
    LoggingListener listener(log, "");
    receiver.addListener(&listener);
    map.assign(74, 32);
    map.assign(21, 3);
    // A mapped controller reaches mappedController and still goes to the listeners.
    receiver.controller(74, 127, 1.0f);
    receiver.controller(75, 10, 10.0f / 127.0f);
    EXPECT_EQ(log, (EventLog{"mapped 32 1", "cc 74 127 1", "cc 75 10 0.07874"}));

    // Learning parameter 3 on controller 20: the old controller 21 is unmapped and the value
    // applies at once. Controllers outside 0..127 are neither learned nor looked up.
    log.clear();
    receiver.removeListener(&listener);
    receiver.setLearnParameter(3);
    receiver.controller(200, 1, 0.0f);
    receiver.controller(-1, 1, 0.0f);
    receiver.controller(20, 64, 0.5f);
    EXPECT_EQ(map.parameterFor(20), 3);
    EXPECT_EQ(map.parameterFor(21), -1);
    EXPECT_EQ(log, (EventLog{"mapped 3 0.5"}));

    // Without a learn parameter existing mappings stay; without a map learning does nothing.
    receiver.setLearnParameter(AbstractChannelEventReceiver::kNoLearnParameter);
    receiver.controller(21, 0, 0.0f);
    receiver.setControllerMap(nullptr);
    receiver.setLearnParameter(5);
    receiver.controller(22, 0, 0.0f);
    EXPECT_EQ(map.parameterFor(21), -1);
    EXPECT_EQ(map.parameterFor(22), -1);
    EXPECT_EQ(log.size(), 1u);
}

}  // namespace
