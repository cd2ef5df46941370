#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/common/HostTransport.h"

TEST(HostTransport, CarriesThePositionBetweenMessagesAndLeavesOutNonFiniteFields) {
    HostTransport transport;
    transport.setSampleRate(48000.0);
    // Before any message: a standing transport at 120 BPM.
    transport.advance(48000);
    EXPECT_EQ(transport.tempo(), 120.0);
    EXPECT_EQ(transport.beat(), 0.0);

    // Playing at 120 BPM: half a second is one beat.
    // Fields: tempo, speed, beat, bar, beat in the bar, beats per bar.
    const HostTransport::Position play{120.0, 1.0, 4.0, {}, {}, {}};
    transport.receive(play, 0);
    EXPECT_EQ(transport.beat(), 4.0);
    transport.advance(24000);
    EXPECT_EQ(transport.beat(), 5.0);

    // A message in the middle of a block: the block began that many frames earlier.
    transport.receive({{}, {}, 8.0, {}, {}, {}}, 12000);
    EXPECT_EQ(transport.beat(), 7.5);

    // Bar and beat in the bar, when the host sends no absolute beat.
    transport.receive({{}, {}, {}, 2.0, 1.5, 3.0}, 0);
    EXPECT_EQ(transport.beat(), 7.5);

    // Stopped: the beat stands; a new tempo alone moves nothing.
    transport.receive({90.0, 0.0, {}, {}, {}, {}}, 0);
    transport.advance(96000);
    EXPECT_EQ(transport.beat(), 7.5);
    EXPECT_EQ(transport.tempo(), 90.0);

    // Double speed at 90 BPM over one second: three beats.
    transport.receive({{}, 2.0, {}, {}, {}, {}}, 0);
    transport.advance(48000);
    EXPECT_DOUBLE_EQ(transport.beat(), 10.5);

    // Fields that are not finite count as absent, and a beat that would overflow stands.
    constexpr double kInf = std::numeric_limits<double>::infinity();
    transport.receive(play, 0);
    for (const double bad : {kInf, -kInf, std::nan("")}) {
        transport.receive({bad, bad, bad, bad, 1.0, bad}, 100);
        EXPECT_EQ(transport.tempo(), 120.0);
        EXPECT_EQ(transport.speed(), 1.0);
        EXPECT_EQ(transport.beat(), 4.0);
    }
    transport.receive({1e300, 1e300, {}, {}, {}, {}}, 0);
    transport.advance(48000);
    EXPECT_EQ(transport.beat(), 4.0);
}
