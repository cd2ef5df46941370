#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "tests/support/AllocationCounter.h"

// The guard is what proves the audio path allocation-free, so it must see every kind of
// allocation on its own thread and none on others.
TEST(AllocationGuard, CountsThisThreadsAllocationsOnly) {
    AllocationGuard guard;
    auto p = std::make_unique<int>(3);
    std::vector<float> v(100);
    EXPECT_EQ(guard.allocations(), 2u);
#ifndef VORN_SANITIZED
    void* volatile raw = std::malloc(16);  // volatile: the pair must not be optimised away
    EXPECT_EQ(guard.allocations(), 3u);
    std::free(raw);
#endif
    // Creating a thread costs this thread a few allocations; the other thread's are not counted.
    const size_t before = guard.allocations();
    std::thread other([] {
        for (int i = 0; i < 10000; ++i) std::make_unique<int>(i);
    });
    other.join();
    EXPECT_LT(guard.allocations() - before, 100u);
    p.reset();
    EXPECT_GE(guard.frees(), 1u);
}
