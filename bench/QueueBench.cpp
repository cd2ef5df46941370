#include <benchmark/benchmark.h>

#include <cstdint>

#include "framework/LockFreeQueue.h"

namespace {

struct Change {
    uint32_t id;
    float value;
};

constexpr int kBatch = 1024;

// A batch in, then the batch out, on one thread: the uncontended cost of a push and a pop.
void BM_QueuePushPopBatch(benchmark::State& state) {
    LockFreeQueue<Change> queue(kBatch + 1);
    Change out{};
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) queue.push({uint32_t(i), 0.5f});
        for (int i = 0; i < kBatch; ++i) queue.pop(out);
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_QueuePushPopBatch);

// Thread 0 produces, thread 1 consumes; both run the same number of batches, so the queue ends
// empty. A push that finds the queue full, or a pop that finds it empty, spins.
LockFreeQueue<Change> sharedQueue(kBatch);

void BM_QueueProducerConsumer(benchmark::State& state) {
    const bool producer = state.thread_index() == 0;
    Change out{};
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            if (producer) {
                while (!sharedQueue.push({uint32_t(i), 0.5f})) {
                }
            } else {
                while (!sharedQueue.pop(out)) {
                }
            }
        }
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_QueueProducerConsumer)->Threads(2)->UseRealTime();

}  // namespace
