#include "framework/posix/PosixAsyncEventQueue.h"

#include <atomic>

namespace {
std::atomic<int> liveQueues{0};
}

PosixAsyncEventQueue::PosixAsyncEventQueue() : owner_(std::this_thread::get_id()) {
    liveQueues.fetch_add(1, std::memory_order_relaxed);
}

PosixAsyncEventQueue::~PosixAsyncEventQueue() {
    liveQueues.fetch_sub(1, std::memory_order_relaxed);
}

bool PosixAsyncEventQueue::post(int32_t code, int64_t value) {
    return pending_.push({value, code});
}

int PosixAsyncEventQueue::pump() {
    if (std::this_thread::get_id() != owner_) return 0;
    int delivered = 0;
    Event event;
    while (pending_.pop(event)) {
        deliver(event.code, event.value);
        ++delivered;
    }
    return delivered;
}

int PosixAsyncEventQueue::liveQueueCount() {
    return liveQueues.load(std::memory_order_relaxed);
}

std::unique_ptr<AsyncEventQueue> createAsyncEventQueue() {
    return std::make_unique<PosixAsyncEventQueue>();
}
