#pragma once

#include <cstddef>

// Set when RealtimeSanitizer watches the scopes itself: it stops at the first forbidden call.
#if defined(__has_feature)
#if __has_feature(realtime_sanitizer)
#define VORN_REALTIME_SANITIZER 1
#endif
#endif

// Counts what a real-time thread must never do: allocate or free heap memory, lock a mutex, or
// sleep. The test binary replaces the malloc family, pthread_mutex_lock/trylock and the sleep
// calls; they count while the calling thread is inside a RealtimeScope and then do their usual
// work. Sanitizer runtimes own those functions, so sanitized builds count only the C++ operator
// new/delete family (and RealtimeSanitizer builds hand the scope to the sanitizer instead).
struct RealtimeCounts {
    size_t allocations = 0;
    size_t frees = 0;
    size_t locks = 0;
    size_t sleeps = 0;
};

// Marks the current thread as an audio thread inside processBlock while alive; scopes nest.
class RealtimeScope {
public:
    RealtimeScope();
    ~RealtimeScope();
    RealtimeScope(const RealtimeScope&) = delete;
    RealtimeScope& operator=(const RealtimeScope&) = delete;
};

// Totals over every thread since the start of the process.
RealtimeCounts realtimeCounts();
// Whether the C allocation, lock and sleep functions are counted (not in sanitized builds).
bool realtimeCallsInterposed();
