#include <gtest/gtest.h>

#include "framework/posix/PosixIntervalTimer.h"

namespace {

class ManualClockTimer : public PosixIntervalTimer {
public:
    uint32_t clock = 0;

protected:
    uint32_t now() const override { return clock; }
};

TEST(IntervalTimerTest, ElapsedSurvivesTheWrapOfTheMillisecondClock) {
    ManualClockTimer timer;
    timer.clock = 0xfffffff0u;
    EXPECT_EQ(timer.restart(), 0xfffffff0u);
    // Clock, and the time elapsed since the restart.
    const uint32_t readings[][2] = {
        {0xfffffff0u, 0}, {0xffffffffu, 15}, {0x10u, 32}, {0x7ffffff0u, 0x80000000u}};
    for (auto [clock, elapsed] : readings) {
        timer.clock = clock;
        EXPECT_EQ(timer.elapsed(), elapsed) << clock;
    }
    EXPECT_EQ(timer.restart(), 0x7ffffff0u);
    timer.clock = 0x80000005u;
    EXPECT_EQ(timer.elapsed(), 21u);
}

TEST(IntervalTimerTest, SystemTimerStartsAtCreationAndNeverRunsBackwards) {
    auto timer = createIntervalTimer();
    const uint32_t first = timer->elapsed();
    const uint32_t second = timer->elapsed();
    EXPECT_LE(first, second);
    // A start mark left unset would show as the whole uptime.
    EXPECT_LT(second, 60000u);
    const uint32_t mark = timer->restart();
    EXPECT_LT(static_cast<uint32_t>(timer->restart() - mark), 60000u);
}

}  // namespace
