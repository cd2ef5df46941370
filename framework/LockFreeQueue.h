#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

#include "framework/CriticalSection.h"
#include "wave/Assert.h"

// Multi-producer, multi-consumer FIFO after Michael and Scott, for small trivially copyable
// payloads. Nodes live in an array and are named by 16-bit indices; every link word carries the
// index in its low half and a tag in its high half that grows on each update, so that a stale
// compare-and-swap fails after its node has been recycled. push and pop are lock-free and never
// allocate, except for a push that finds no free node below the limit: it takes the queue's lock
// and adds storage. Existing nodes never move, because other threads may be reading them.
//
// Memory orderings:
// - A producer writes the payload and resets the node's link with relaxed stores, then publishes
//   the node with a release CAS on the predecessor's link. Readers load links with acquire, so the
//   payload and the reset link are visible to whoever reaches the node.
// - Swings of `tail_` are release CASes: a producer that loads the new tail with acquire also sees
//   the reset link of the tail node (through the release sequence of the helping thread).
// - The consumer reads the payload with relaxed loads before its CAS on `head_`; a concurrent
//   recycling of the node changes `head_`, so that CAS fails and the copy is discarded. The CAS is
//   a release, so the reads happen before the node is freed again by the next consumer (which
//   acquires `head_`), and a recycled payload cannot leak into a successful pop.
// - The free list is a stack: pushes are release CASes, pops acquire, so a popped node's link and
//   contents written by the thread that freed it are visible. Every modification of the list is a
//   read-modify-write, which keeps the release sequences unbroken.
// - Segment pointers are stored with release after their nodes are initialised and loaded with
//   acquire, so a node reached through any index is fully constructed.
template <typename T>
class LockFreeQueue {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    static constexpr uint32_t kDefaultNodeLimit = 65536;

    // One node serves as the dummy head, so the queue holds at most nodeCount() - 1 payloads.
    explicit LockFreeQueue(uint32_t initialNodes, uint32_t nodeLimit = kDefaultNodeLimit);
    ~LockFreeQueue();
    LockFreeQueue(const LockFreeQueue&) = delete;
    LockFreeQueue& operator=(const LockFreeQueue&) = delete;

    // False when no node is free and the storage is at its limit: the payload is dropped.
    bool push(const T& payload);
    // False when the queue is empty.
    bool pop(T& out);

    uint32_t nodeCount() const { return nodeCount_.load(std::memory_order_relaxed); }
    uint32_t nodeLimit() const { return limit_; }

private:
    static constexpr uint32_t kIndexMask = 0xffff;
    static constexpr uint32_t kTagStep = 0x10000;
    // Index 0 means "none", which leaves 65535 addressable nodes.
    static constexpr uint32_t kMaxNodes = kIndexMask;
    // Segment s holds the indices [2^s, 2^(s+1)), so finding a node takes one bit scan.
    static constexpr int kSegments = 16;
    static constexpr size_t kPayloadWords = (sizeof(T) + 3) / 4;

    struct Node {
        std::atomic<uint32_t> next;
        // Atomic words, so that a consumer may read a payload that is being rewritten.
        std::array<std::atomic<uint32_t>, kPayloadWords> payload;
    };

    static uint32_t indexOf(uint32_t link) { return link & kIndexMask; }
    // A link to `index` whose tag follows the tag of the word it replaces.
    static uint32_t relink(uint32_t index, uint32_t replaced) {
        return ((replaced & ~kIndexMask) + kTagStep) | index;
    }

    Node& node(uint32_t index) const {
        VORN_ASSERT(index >= 1 && index <= kMaxNodes);
        const int segment = static_cast<int>(std::bit_width(index)) - 1;
        return segments_[segment].load(std::memory_order_acquire)[index - (1u << segment)];
    }

    void addNodes(uint32_t first, uint32_t last);
    void pushFree(uint32_t first, uint32_t last);
    uint32_t popFree();
    uint32_t allocate();
    bool grow();

    alignas(64) std::atomic<uint32_t> head_;
    alignas(64) std::atomic<uint32_t> tail_;
    alignas(64) std::atomic<uint32_t> free_{0};
    alignas(64) std::atomic<uint32_t> nodeCount_{0};
    uint32_t limit_;
    std::array<std::atomic<Node*>, kSegments> segments_{};
    std::unique_ptr<CriticalSection> growLock_;
};

template <typename T>
LockFreeQueue<T>::LockFreeQueue(uint32_t initialNodes, uint32_t nodeLimit)
    : limit_(std::clamp(nodeLimit, 1u, kMaxNodes)), growLock_(createCriticalSection()) {
    const uint32_t count = std::clamp(initialNodes, 1u, limit_);
    addNodes(1, count);
    node(1).next.store(0, std::memory_order_relaxed);
    head_.store(1, std::memory_order_relaxed);
    tail_.store(1, std::memory_order_relaxed);
    if (count > 1) pushFree(2, count);
    nodeCount_.store(count, std::memory_order_relaxed);
}

template <typename T>
LockFreeQueue<T>::~LockFreeQueue() {
    for (auto& segment : segments_) delete[] segment.load(std::memory_order_relaxed);
}

template <typename T>
bool LockFreeQueue<T>::push(const T& payload) {
    const uint32_t index = allocate();
    if (index == 0) return false;

    Node& fresh = node(index);
    uint32_t words[kPayloadWords] = {};
    std::memcpy(words, &payload, sizeof(T));
    for (size_t i = 0; i < kPayloadWords; ++i)
        fresh.payload[i].store(words[i], std::memory_order_relaxed);
    fresh.next.store(relink(0, fresh.next.load(std::memory_order_relaxed)),
                     std::memory_order_relaxed);

    uint32_t tail;
    for (;;) {
        tail = tail_.load(std::memory_order_acquire);
        Node& last = node(indexOf(tail));
        uint32_t next = last.next.load(std::memory_order_acquire);
        if (tail != tail_.load(std::memory_order_acquire)) continue;
        if (indexOf(next) == 0) {
            if (last.next.compare_exchange_weak(next, relink(index, next),
                                                std::memory_order_release,
                                                std::memory_order_relaxed))
                break;
        } else {
            // The tail lags behind: help the producer that linked `next`.
            tail_.compare_exchange_weak(tail, relink(indexOf(next), tail),
                                        std::memory_order_release, std::memory_order_relaxed);
        }
    }
    tail_.compare_exchange_strong(tail, relink(index, tail), std::memory_order_release,
                                  std::memory_order_relaxed);
    return true;
}

template <typename T>
bool LockFreeQueue<T>::pop(T& out) {
    uint32_t words[kPayloadWords];
    uint32_t head;
    for (;;) {
        head = head_.load(std::memory_order_acquire);
        uint32_t tail = tail_.load(std::memory_order_acquire);
        const uint32_t next = node(indexOf(head)).next.load(std::memory_order_acquire);
        if (head != head_.load(std::memory_order_acquire)) continue;
        if (indexOf(head) == indexOf(tail)) {
            if (indexOf(next) == 0) return false;
            tail_.compare_exchange_weak(tail, relink(indexOf(next), tail),
                                        std::memory_order_release, std::memory_order_relaxed);
            continue;
        }
        const Node& first = node(indexOf(next));
        for (size_t i = 0; i < kPayloadWords; ++i)
            words[i] = first.payload[i].load(std::memory_order_relaxed);
        if (head_.compare_exchange_weak(head, relink(indexOf(next), head),
                                        std::memory_order_release, std::memory_order_relaxed))
            break;
    }
    std::memcpy(&out, words, sizeof(T));
    // The old dummy is ours now; the node holding the payload becomes the new dummy.
    pushFree(indexOf(head), indexOf(head));
    return true;
}

// Makes sure the nodes first..last exist and chains them in order.
template <typename T>
void LockFreeQueue<T>::addNodes(uint32_t first, uint32_t last) {
    const int end = static_cast<int>(std::bit_width(last));
    for (int s = static_cast<int>(std::bit_width(first)) - 1; s < end; ++s) {
        if (segments_[s].load(std::memory_order_relaxed)) continue;
        const uint32_t size = 1u << s;
        Node* nodes = new Node[size];
        for (uint32_t i = 0; i < size; ++i) {
            nodes[i].next.store(0, std::memory_order_relaxed);
            for (auto& word : nodes[i].payload) word.store(0, std::memory_order_relaxed);
        }
        segments_[s].store(nodes, std::memory_order_release);
    }
    for (uint32_t i = first; i < last; ++i) {
        Node& n = node(i);
        n.next.store(relink(i + 1, n.next.load(std::memory_order_relaxed)),
                     std::memory_order_relaxed);
    }
}

// Puts the chain first..last, already linked in order, on top of the free list.
template <typename T>
void LockFreeQueue<T>::pushFree(uint32_t first, uint32_t last) {
    Node& end = node(last);
    uint32_t top = free_.load(std::memory_order_relaxed);
    do {
        end.next.store(relink(indexOf(top), end.next.load(std::memory_order_relaxed)),
                       std::memory_order_relaxed);
    } while (!free_.compare_exchange_weak(top, relink(first, top), std::memory_order_release,
                                          std::memory_order_relaxed));
}

template <typename T>
uint32_t LockFreeQueue<T>::popFree() {
    uint32_t top = free_.load(std::memory_order_acquire);
    while (indexOf(top) != 0) {
        const uint32_t next = node(indexOf(top)).next.load(std::memory_order_relaxed);
        if (free_.compare_exchange_weak(top, relink(indexOf(next), top), std::memory_order_acquire,
                                        std::memory_order_acquire))
            return indexOf(top);
    }
    return 0;
}

template <typename T>
uint32_t LockFreeQueue<T>::allocate() {
    for (;;) {
        if (const uint32_t index = popFree()) return index;
        // At the limit the push fails without touching the lock.
        if (nodeCount() == limit_ || !grow()) return 0;
    }
}

// Doubles the storage up to the limit; false when it is already there.
template <typename T>
bool LockFreeQueue<T>::grow() {
    CriticalSectionGuard guard(*growLock_);
    // A push that waited for the lock finds the nodes the previous holder added.
    if (indexOf(free_.load(std::memory_order_relaxed)) != 0) return true;
    const uint32_t count = nodeCount_.load(std::memory_order_relaxed);
    if (count == limit_) return false;
    const uint32_t grown = std::min(2 * count, limit_);
    addNodes(count + 1, grown);
    pushFree(count + 1, grown);
    nodeCount_.store(grown, std::memory_order_relaxed);
    return true;
}
