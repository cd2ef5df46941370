#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <thread>

#include "host/standalone/StopSignals.h"

namespace {

bool blockedHere(int signal) {
    sigset_t mask;
    pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    return sigismember(&mask, signal) == 1;
}

}  // namespace

TEST(StopSignals, StopRequestsWaitForTheOwnerAndTheMaskComesBack) {
    ASSERT_FALSE(blockedHere(SIGINT));
    {
        StopSignals signals;
        EXPECT_TRUE(blockedHere(SIGINT));
        EXPECT_TRUE(blockedHere(SIGTERM));
        EXPECT_FALSE(blockedHere(SIGUSR1));
        EXPECT_EQ(signals.wait(0), 0);

        // Raised here, both stay pending (the process lives on) until taken, one at a time.
        raise(SIGTERM);
        raise(SIGINT);
        int first = signals.wait(0);
        int second = signals.wait(0);
        EXPECT_EQ(first + second, SIGTERM + SIGINT);
        EXPECT_NE(first, second);
        EXPECT_EQ(signals.wait(10), 0);

        // A thread started afterwards inherits the mask, so a signal for the whole process can
        // only end in the owner's wait.
        std::atomic<bool> threadBlocks{false};
        std::thread([&] { threadBlocks = blockedHere(SIGINT) && blockedHere(SIGTERM); }).join();
        EXPECT_TRUE(threadBlocks);
    }
    EXPECT_FALSE(blockedHere(SIGINT));
    EXPECT_FALSE(blockedHere(SIGTERM));
}
