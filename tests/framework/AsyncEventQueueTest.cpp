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
    RecordingHandler primary("primary", log), first("first", log), second("second", log),
        third("third", log);
    auto queue = createAsyncEventQueue();
    queue->setPrimaryHandler(&primary);
    queue->addHandler(&first);
    queue->addHandler(&second);
    queue->addHandler(&third);

    std::thread poster([&] {
        queue->post(-1025, 17);
        queue->post(-1026, -1);
        queue->post(-1027, 0x123456789abcdefLL);
    });
    poster.join();
    EXPECT_TRUE(log.empty());    // nothing arrives before the owner pumps
    int strangerDelivered = -1;  // nor when another thread pumps
    std::thread stranger([&] { strangerDelivered = queue->pump(); });
    stranger.join();
    EXPECT_EQ(strangerDelivered, 0);
    EXPECT_TRUE(log.empty());

    EXPECT_EQ(queue->pump(), 3);
    std::vector<Delivery> expected;
    for (auto [code, value] :
         {std::pair<int32_t, int64_t>{-1025, 17}, {-1026, -1}, {-1027, 0x123456789abcdefLL}}) {
        for (const char* name : {"primary", "third", "second", "first"})
            expected.push_back({name, code, value});
    }
    EXPECT_EQ(log, expected);
    EXPECT_EQ(queue->currentCode(), -1027);
    EXPECT_EQ(queue->currentValue(), 0x123456789abcdefLL);
    EXPECT_EQ(queue->pump(), 0);
}

TEST(AsyncEventQueueTest, HandlersMayLeaveDuringDelivery) {
    std::vector<Delivery> log;
    RecordingHandler older("older", log), newer("newer", log), removed("removed", log),
        oneShot("oneShot", log, true);
    PosixAsyncEventQueue queue;
    queue.addHandler(&older);
    queue.addHandler(&removed);
    queue.addHandler(&oneShot);
    queue.addHandler(&newer);
    queue.removeHandler(&removed);

    queue.post(5, 6);
    queue.post(7, 8);
    EXPECT_EQ(queue.pump(), 2);
    EXPECT_EQ(log, (std::vector<Delivery>{{"newer", 5, 6},
                                          {"oneShot", 5, 6},
                                          {"older", 5, 6},
                                          {"newer", 7, 8},
                                          {"older", 7, 8}}));
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
