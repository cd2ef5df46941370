#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "framework/EditorMidiQueue.h"
#include "tests/support/AllocationCounter.h"

namespace {

// The producer pushes events numbered by their offsets while the consumer drains. Whatever the
// interleaving, the consumer sees an increasing subsequence, every accepted event arrives, the
// producer never allocates, and a push fails only when 31 events wait.
TEST(EditorMidiQueueTest, OneProducerOneConsumerKeepOrderHoldThirtyOneAndCountDrops) {
    const struct {
        const char* name;
        int events;
        bool consumerWaitsForProducer;  // the editor did not drain at all meanwhile
        int consumerYields;             // between pops: a slow editor
        int expectedDropped;            // -1: depends on the interleaving
    } cases[] = {
        {"stalled editor", 40, true, 0, 9},
        {"exactly full", 31, true, 0, 0},
        {"fast editor", 200000, false, 0, -1},
        {"slow editor", 20000, false, 50, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditorMidiQueue queue;
        std::atomic<int> popped{0};
        std::atomic<bool> producerDone{false};
        int accepted = 0;
        int dropsWhileNotFull = 0;
        size_t producerAllocations = 1;
        std::thread producer([&] {
            AllocationGuard guard;
            for (int i = 0; i < c.events; ++i) {
                // Read first: pops counted by then have freed their nodes before the push.
                const int poppedBefore = popped.load();
                if (queue.push(MidiEvent{0xB0, 21, 1, 0, i})) {
                    ++accepted;
                } else if (accepted - poppedBefore < static_cast<int>(EditorMidiQueue::kCapacity)) {
                    ++dropsWhileNotFull;
                }
            }
            producerAllocations = guard.allocations();
            producerDone = true;
        });
        std::vector<int> seen;
        seen.reserve(static_cast<size_t>(c.events));
        if (c.consumerWaitsForProducer) producer.join();
        for (MidiEvent e;;) {
            const bool done = producerDone.load();
            if (queue.pop(e)) {
                seen.push_back(e.offset);
                popped.fetch_add(1);
                for (int k = 0; k < c.consumerYields; ++k) std::this_thread::yield();
            } else if (done) {
                break;
            }
        }
        if (producer.joinable()) producer.join();

        EXPECT_EQ(producerAllocations, 0u);
        EXPECT_EQ(static_cast<int>(seen.size()), accepted);
        EXPECT_EQ(accepted + static_cast<int>(queue.dropped()), c.events);
        if (c.expectedDropped >= 0) {
            EXPECT_EQ(static_cast<int>(queue.dropped()), c.expectedDropped);
        }
        EXPECT_EQ(dropsWhileNotFull, 0);
        EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end(), std::greater_equal<>()), seen.end());
        if (c.consumerWaitsForProducer) {
            ASSERT_FALSE(seen.empty());
            EXPECT_EQ(seen.back(), static_cast<int>(EditorMidiQueue::kCapacity) - 1);
        }
    }
}

}  // namespace
