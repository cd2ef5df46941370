#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "framework/CriticalSection.h"
#include "framework/LockedObject.h"

namespace {

TEST(CriticalSectionTest, IsRecursiveAndExcludesOtherThreads) {
    auto section = createCriticalSection();
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;
    // A plain counter: any lapse in exclusion loses increments (and is a race for TSan).
    int counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                section->enter();
                section->enter();
                const int seen = counter;
                section->leave();
                // Still held once: the inner leave must not release the lock.
                if (i % 64 == 0) std::this_thread::yield();
                counter = seen + 1;
                section->leave();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter, kThreads * kRounds);
}

class Account : public LockedObject {
public:
    void deposit(int amount) {
        CriticalSectionGuard guard(lock());
        balance = balance + amount;
    }
    void depositTwice(int amount) {
        CriticalSectionGuard guard(lock());
        deposit(amount);
        deposit(amount);
    }
    int balance = 0;
};

TEST(LockedObjectTest, OwnsARecursiveLock) {
    Account account, other;
    std::thread a([&] {
        for (int i = 0; i < 10000; ++i) account.depositTwice(1);
    });
    for (int i = 0; i < 10000; ++i) account.deposit(3);
    a.join();
    EXPECT_EQ(account.balance, 50000);
    EXPECT_NE(&account.lock(), &other.lock());
}

}  // namespace
