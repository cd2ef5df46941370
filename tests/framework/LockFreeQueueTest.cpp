#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>
#include <vector>

#include "framework/LockFreeQueue.h"
#include "tests/support/AllocationCounter.h"

namespace {

struct Entry {
    uint32_t producer;
    uint32_t sequence;
};

TEST(LockFreeQueueTest, GrowsByDoublingUpToTheLimitAllocatingOnlyThen) {
    // Initial nodes, limit, and the node count after each accepted push; one node is the dummy
    // head, so the limit holds one entry less. Before growing, the head wraps round reused nodes.
    const std::tuple<uint32_t, uint32_t, std::vector<uint32_t>> cases[] = {
        {3, 20, {3, 3, 6, 6, 6, 12, 12, 12, 12, 12, 12, 20, 20, 20, 20, 20, 20, 20, 20}},
        {8, 16, {8, 8, 8, 8, 8, 8, 8, 16, 16, 16, 16, 16, 16, 16, 16}}};
    for (const auto& [initial, limit, counts] : cases) {
        LockFreeQueue<Entry> queue(initial, limit);
        Entry out{};
        AllocationGuard guard;
        EXPECT_FALSE(queue.pop(out));
        for (uint32_t i = 0; i < 1000; ++i) {  // reused nodes: no allocation
            ASSERT_TRUE(queue.push({0, i}));
            ASSERT_TRUE(queue.pop(out));
        }
        for (uint32_t i = 0; i < counts.size(); ++i) {
            ASSERT_TRUE(queue.push({0, i}));
            EXPECT_EQ(queue.nodeCount(), counts[i]) << i;
            EXPECT_EQ(guard.allocations() > 0, counts[i] > initial) << i;
        }
        EXPECT_FALSE(queue.push({0, 99}));
        for (uint32_t i = 0; i < counts.size(); ++i) {
            ASSERT_TRUE(queue.pop(out));
            EXPECT_EQ(out.sequence, i);
        }
        EXPECT_FALSE(queue.pop(out));
    }
}

TEST(LockFreeQueueTest, DefaultLimitIsTheLastSixteenBitIndex) {
    LockFreeQueue<uint16_t> queue(1);
    uint32_t accepted = 0;
    while (queue.push(static_cast<uint16_t>(accepted))) ++accepted;
    // Index 0 means "none" and one node is the dummy.
    EXPECT_EQ(accepted, 65534u);
    EXPECT_EQ(queue.nodeCount(), 65535u);
    uint16_t out = 0;
    for (uint32_t i = 0; i < accepted; ++i) {
        ASSERT_TRUE(queue.pop(out));
        ASSERT_EQ(out, static_cast<uint16_t>(i));
    }
}

// Producers retry refused pushes, so every entry must arrive exactly once; each consumer must see
// every producer's entries in increasing order. Returns the final node count.
uint32_t runStress(uint32_t initialNodes, uint32_t nodeLimit, int producers, int consumers,
                   uint32_t perProducer) {
    LockFreeQueue<Entry> queue(initialNodes, nodeLimit);
    const uint64_t total = uint64_t(producers) * perProducer;
    std::atomic<uint64_t> received{0};
    std::vector<std::vector<uint32_t>> counts(consumers, std::vector<uint32_t>(producers, 0));
    std::vector<int> orderErrors(consumers, 0);

    std::vector<std::thread> threads;
    for (int c = 0; c < consumers; ++c) {
        threads.emplace_back([&, c] {
            std::vector<int64_t> last(producers, -1);
            Entry entry{};
            while (received.load(std::memory_order_relaxed) < total) {
                if (!queue.pop(entry)) {
                    std::this_thread::yield();
                    continue;
                }
                received.fetch_add(1, std::memory_order_relaxed);
                if (entry.producer >= uint32_t(producers) ||
                    int64_t(entry.sequence) <= last[entry.producer]) {
                    ++orderErrors[c];
                    continue;
                }
                last[entry.producer] = entry.sequence;
                ++counts[c][entry.producer];
            }
        });
    }
    for (int p = 0; p < producers; ++p) {
        threads.emplace_back([&, p] {
            for (uint32_t i = 0; i < perProducer; ++i) {
                while (!queue.push({uint32_t(p), i})) std::this_thread::yield();
            }
        });
    }
    for (auto& thread : threads) thread.join();

    for (int c = 0; c < consumers; ++c) EXPECT_EQ(orderErrors[c], 0) << "consumer " << c;
    for (int p = 0; p < producers; ++p) {
        uint64_t seen = 0;
        for (int c = 0; c < consumers; ++c) seen += counts[c][p];
        EXPECT_EQ(seen, perProducer) << "producer " << p;
    }
    Entry leftover{};
    EXPECT_FALSE(queue.pop(leftover));
    return queue.nodeCount();
}

// Two producers: one consumer while the queue grows, two at a tiny limit.
TEST(LockFreeQueueStressTest, GrowingUnderContentionAndAtATinyLimit) {
    EXPECT_GT(runStress(2, LockFreeQueue<Entry>::kDefaultNodeLimit, 2, 1, 1000000), 2u);
    EXPECT_EQ(runStress(2, 8, 2, 2, 200000), 8u);
}

}  // namespace
