#pragma once

#include <cstddef>

#include "tests/support/AllocationCounter.h"
#include "tests/support/BlockingCounter.h"

// Set when RealtimeSanitizer watches the scopes itself: it stops at the first forbidden call.
#if defined(__has_feature)
#if __has_feature(realtime_sanitizer)
#define VORN_REALTIME_SANITIZER 1
#endif
#endif

// What a real-time thread must never do: allocate or free heap memory, lock a mutex, or sleep.
// Sanitized builds count only the C++ operator new/delete family.
struct RealtimeCounts {
    size_t allocations = 0;
    size_t frees = 0;
    size_t locks = 0;
    size_t sleeps = 0;

    RealtimeCounts& operator+=(const RealtimeCounts& more);
};

// Marks the current thread as an audio thread while alive; counts() tells what it did since.
class RealtimeScope {
public:
    RealtimeScope();
    ~RealtimeScope();
    RealtimeScope(const RealtimeScope&) = delete;
    RealtimeScope& operator=(const RealtimeScope&) = delete;

    RealtimeCounts counts() const;

private:
    AllocationGuard allocations_;
    BlockingCounter blocking_;
};
