#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/lv2/Lv2Transport.h"

TEST(Lv2Transport, CarriesThePositionBetweenMessagesAndLeavesOutNonFiniteFields) {
    Lv2Transport transport;
    transport.setSampleRate(48000.0);
    // Before any message: a standing transport at 120 BPM.
    transport.advance(48000);
    EXPECT_EQ(transport.tempo(), 120.0);
    EXPECT_EQ(transport.beat(), 0.0);

    // Playing at 120 BPM: half a second is one beat.
    Lv2Transport::Position play;
    play.tempo = 120.0;
    play.speed = 1.0;
    play.beat = 4.0;
    transport.receive(play, 0);
    EXPECT_EQ(transport.beat(), 4.0);
    transport.advance(24000);
    EXPECT_EQ(transport.beat(), 5.0);

    // A message in the middle of a block: the block began that many frames earlier.
    Lv2Transport::Position moved;
    moved.beat = 8.0;
    transport.receive(moved, 12000);
    EXPECT_EQ(transport.beat(), 7.5);

    // Bar and beat in the bar, when the host sends no absolute beat.
    Lv2Transport::Position bars;
    bars.bar = 2.0;
    bars.barBeat = 1.5;
    bars.beatsPerBar = 3.0;
    transport.receive(bars, 0);
    EXPECT_EQ(transport.beat(), 7.5);

    // Stopped: the beat stands; a new tempo alone moves nothing.
    Lv2Transport::Position stop;
    stop.speed = 0.0;
    stop.tempo = 90.0;
    transport.receive(stop, 0);
    transport.advance(96000);
    EXPECT_EQ(transport.beat(), 7.5);
    EXPECT_EQ(transport.tempo(), 90.0);

    // Double speed at 90 BPM over one second: three beats.
    Lv2Transport::Position fast;
    fast.speed = 2.0;
    transport.receive(fast, 0);
    transport.advance(48000);
    EXPECT_DOUBLE_EQ(transport.beat(), 10.5);

    // Fields that are not finite count as absent, and a beat that would overflow stands.
    constexpr double kInf = std::numeric_limits<double>::infinity();
    transport.receive(play, 0);
    for (const double bad : {kInf, -kInf, std::nan("")}) {
        Lv2Transport::Position position;
        position.tempo = bad;
        position.speed = bad;
        position.beat = bad;
        position.bar = bad;
        position.barBeat = 1.0;
        position.beatsPerBar = bad;
        transport.receive(position, 100);
        EXPECT_EQ(transport.tempo(), 120.0);
        EXPECT_EQ(transport.speed(), 1.0);
        EXPECT_EQ(transport.beat(), 4.0);
    }
    Lv2Transport::Position huge;
    huge.speed = 1e300;
    huge.tempo = 1e300;
    transport.receive(huge, 0);
    transport.advance(48000);
    EXPECT_EQ(transport.beat(), 4.0);
}
