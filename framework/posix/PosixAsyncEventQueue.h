#pragma once

#include <thread>

#include "framework/AsyncEventQueue.h"
#include "framework/LockFreeQueue.h"

// Pending events wait in a fixed-size lock-free queue until the owning thread pumps it; there is
// no wake-up signal, so post stays free of system calls and the owner's loop pumps on its timer.
class PosixAsyncEventQueue : public AsyncEventQueue {
public:
    // Events beyond this many pending ones are dropped.
    static constexpr uint32_t kPendingEvents = 1024;

    PosixAsyncEventQueue();
    ~PosixAsyncEventQueue() override;

    bool post(int32_t code, int64_t value) override;
    int pump() override;

    // Queues alive in the process.
    static int liveQueueCount();

private:
    struct Event {
        int64_t value;
        int32_t code;
    };

    std::thread::id owner_;
    // One extra node for the queue's dummy head.
    LockFreeQueue<Event> pending_{kPendingEvents + 1, kPendingEvents + 1};
};
