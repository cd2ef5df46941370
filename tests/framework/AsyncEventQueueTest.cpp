#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "framework/posix/PosixAsyncEventQueue.h"
#include "tests/support/AllocationCounter.h"

namespace {

struct Delivery {
    std::string handler;
    int32_t code;
    int64_t value;
    bool operator==(const Delivery&) const = default;
};

// Logs every event it gets; a one-shot handler removes itself from the queue on its first.
class RecordingHandler : public AsyncEventQueue::Handler {
public:
    RecordingHandler(std::string name, std::vector<Delivery>& log, bool oneShot = false)
        : name_(std::move(name)), log_(log), oneShot_(oneShot) {}
    void handleEvent(AsyncEventQueue& queue) override {
        log_.push_back({name_, queue.currentCode(), queue.currentValue()});
        if (oneShot_) queue.removeHandler(this);
    }

private:
    std::string name_;
    std::vector<Delivery>& log_;
    bool oneShot_;
};

TEST(AsyncEventQueueTest, DeliversInPostingOrderToPrimaryThenNewestHandlerFirst) {
    std::vector<Delivery> log;
    RecordingHandler primary("primary", log), older("older", log), newer("newer", log),
        removed("removed", log), oneShot("oneShot", log, true);
    auto queue = createAsyncEventQueue();
    queue->setPrimaryHandler(&primary);
    for (auto* handler : {&older, &removed, &oneShot, &newer}) queue->addHandler(handler);
    queue->removeHandler(&removed);

    std::thread poster([&] {
        queue->post(-1025, 17);
        queue->post(-1027, 0x123456789abcdefLL);
    });
    poster.join();
    EXPECT_TRUE(log.empty());    // nothing arrives before the owner pumps
    int strangerDelivered = -1;  // nor when another thread pumps
    std::thread stranger([&] { strangerDelivered = queue->pump(); });
    stranger.join();
    EXPECT_EQ(strangerDelivered, 0);
    EXPECT_TRUE(log.empty());

    // The one-shot handler leaves during its first delivery.
    EXPECT_EQ(queue->pump(), 2);
    EXPECT_EQ(log, (std::vector<Delivery>{{"primary", -1025, 17},
                                          {"newer", -1025, 17},
                                          {"oneShot", -1025, 17},
                                          {"older", -1025, 17},
                                          {"primary", -1027, 0x123456789abcdefLL},
                                          {"newer", -1027, 0x123456789abcdefLL},
                                          {"older", -1027, 0x123456789abcdefLL}}));
    EXPECT_EQ(queue->currentCode(), -1027);
    EXPECT_EQ(queue->currentValue(), 0x123456789abcdefLL);
    EXPECT_EQ(queue->pump(), 0);
}

TEST(AsyncEventQueueTest, PostNeverAllocatesAndDropsBeyondCapacity) {
    std::vector<Delivery> log;
    RecordingHandler primary("primary", log);
    PosixAsyncEventQueue queue;
    queue.setPrimaryHandler(&primary);

    constexpr int kPosted = PosixAsyncEventQueue::kPendingEvents + 10;
    size_t allocations = 1;
    std::thread poster([&] {
        AllocationGuard guard;
        for (int i = 0; i < kPosted; ++i) queue.post(i, -i);
        allocations = guard.allocations();
    });
    poster.join();
    EXPECT_EQ(allocations, 0u);

    ASSERT_EQ(queue.pump(), static_cast<int>(PosixAsyncEventQueue::kPendingEvents));
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i], (Delivery{"primary", static_cast<int32_t>(i), -static_cast<int64_t>(i)}));
    }
    // Space is free again once delivered.
    queue.post(99, 1);
    EXPECT_EQ(queue.pump(), 1);
}

TEST(AsyncEventQueueTest, LiveCountStaysPositiveUntilTheLastQueueDies) {
    const int before = PosixAsyncEventQueue::liveQueueCount();
    auto first = std::make_unique<PosixAsyncEventQueue>();
    auto second = createAsyncEventQueue();
    EXPECT_EQ(PosixAsyncEventQueue::liveQueueCount(), before + 2);
    first.reset();
    EXPECT_EQ(PosixAsyncEventQueue::liveQueueCount(), before + 1);
    second.reset();
    EXPECT_EQ(PosixAsyncEventQueue::liveQueueCount(), before);
}

}  // namespace
