#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "framework/CriticalSection.h"
#include "framework/LockedObject.h"

namespace {

TEST(CriticalSectionTest, IsRecursiveAndExcludesOtherThreads) {
    LockedObject first, second;  // each with a lock of its own
    ASSERT_NE(&first.lock(), &second.lock());
    CriticalSection& section = first.lock();
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;
    // A plain counter: any lapse in exclusion loses increments (and is a race for TSan).
    int counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                CriticalSectionGuard outer(section);
                section.enter();
                const int seen = counter;
                section.leave();
                // Still held once: the inner leave must not release the lock.
                if (i % 64 == 0) std::this_thread::yield();
                counter = seen + 1;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter, kThreads * kRounds);
}

}  // namespace
