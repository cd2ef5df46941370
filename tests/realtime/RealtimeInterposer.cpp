#include "tests/realtime/RealtimeInterposer.h"

#include <dlfcn.h>
#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>

#ifdef VORN_REALTIME_SANITIZER
// The runtime's entry points behind [[clang::nonblocking]]; the public header lacks them.
extern "C" void __rtsan_realtime_enter();
extern "C" void __rtsan_realtime_exit();
#endif

namespace {

thread_local int tScopes = 0;

// Plain globals with constant initialisation: the replaced functions may run before any
// constructor.
std::atomic<size_t> gAllocations{0};
std::atomic<size_t> gFrees{0};
std::atomic<size_t> gLocks{0};
std::atomic<size_t> gSleeps{0};

inline void note(std::atomic<size_t>& counter) {
    if (tScopes) counter.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

RealtimeScope::RealtimeScope() {
    ++tScopes;
#ifdef VORN_REALTIME_SANITIZER
    __rtsan_realtime_enter();
#endif
}

RealtimeScope::~RealtimeScope() {
#ifdef VORN_REALTIME_SANITIZER
    __rtsan_realtime_exit();
#endif
    --tScopes;
}

RealtimeCounts realtimeCounts() {
    return {gAllocations.load(), gFrees.load(), gLocks.load(), gSleeps.load()};
}

#ifndef VORN_SANITIZED

bool realtimeCallsInterposed() {
    return true;
}

extern "C" {
void* __libc_malloc(size_t);
void __libc_free(void*);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void* __libc_valloc(size_t);
void* __libc_pvalloc(size_t);
}

namespace {

using MutexFunction = int (*)(pthread_mutex_t*);

// glibc's own mutex entry points, found past this binary's replacements.
MutexFunction nextMutexFunction(const char* name) {
    return reinterpret_cast<MutexFunction>(dlsym(RTLD_NEXT, name));
}

int sleepFor(const timespec& duration, timespec* remaining) {
    const int error = clock_nanosleep(CLOCK_MONOTONIC, 0, &duration, remaining);
    if (error == 0) return 0;
    errno = error;
    return -1;
}

}  // namespace

extern "C" {

void* malloc(size_t n) {
    note(gAllocations);
    return __libc_malloc(n);
}
void free(void* p) {
    if (p) note(gFrees);
    __libc_free(p);
}
void* calloc(size_t count, size_t n) {
    note(gAllocations);
    return __libc_calloc(count, n);
}
void* realloc(void* p, size_t n) {
    note(gAllocations);
    return __libc_realloc(p, n);
}
void* memalign(size_t alignment, size_t n) {
    note(gAllocations);
    return __libc_memalign(alignment, n);
}
void* aligned_alloc(size_t alignment, size_t n) {
    note(gAllocations);
    return __libc_memalign(alignment, n);
}
void* valloc(size_t n) {
    note(gAllocations);
    return __libc_valloc(n);
}
void* pvalloc(size_t n) {
    note(gAllocations);
    return __libc_pvalloc(n);
}
int posix_memalign(void** out, size_t alignment, size_t n) {
    note(gAllocations);
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
    void* p = __libc_memalign(alignment, n);
    if (!p) return ENOMEM;
    *out = p;
    return 0;
}

int pthread_mutex_lock(pthread_mutex_t* mutex) {
    static const MutexFunction next = nextMutexFunction("pthread_mutex_lock");
    note(gLocks);
    return next(mutex);
}
int pthread_mutex_trylock(pthread_mutex_t* mutex) {
    static const MutexFunction next = nextMutexFunction("pthread_mutex_trylock");
    note(gLocks);
    return next(mutex);
}

int nanosleep(const timespec* duration, timespec* remaining) {
    note(gSleeps);
    return sleepFor(*duration, remaining);
}
int usleep(useconds_t microseconds) {
    note(gSleeps);
    const timespec duration{static_cast<time_t>(microseconds / 1000000),
                            static_cast<long>(microseconds % 1000000) * 1000};
    return sleepFor(duration, nullptr);
}
unsigned int sleep(unsigned int seconds) {
    note(gSleeps);
    timespec remaining{};
    const timespec duration{static_cast<time_t>(seconds), 0};
    if (sleepFor(duration, &remaining) == 0) return 0;
    return static_cast<unsigned int>(remaining.tv_sec + (remaining.tv_nsec > 0 ? 1 : 0));
}

}  // extern "C"

// The C++ family goes through the replaced malloc and free above.

#else  // VORN_SANITIZED

bool realtimeCallsInterposed() {
    return false;
}

namespace {

void* allocate(size_t n) {
    note(gAllocations);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* allocateAligned(size_t n, std::align_val_t alignment) {
    note(gAllocations);
    const auto a = static_cast<size_t>(alignment);
    if (void* p = std::aligned_alloc(a, (n + a - 1) / a * a)) return p;
    throw std::bad_alloc();
}
void release(void* p) {
    if (p) note(gFrees);
    std::free(p);
}

}  // namespace

void* operator new(size_t n) {
    return allocate(n);
}
void* operator new[](size_t n) {
    return allocate(n);
}
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    note(gAllocations);
    return std::malloc(n ? n : 1);
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
    note(gAllocations);
    return std::malloc(n ? n : 1);
}
void* operator new(size_t n, std::align_val_t a) {
    return allocateAligned(n, a);
}
void* operator new[](size_t n, std::align_val_t a) {
    return allocateAligned(n, a);
}
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, size_t) noexcept {
    release(p);
}
void operator delete[](void* p, size_t) noexcept {
    release(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    release(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept {
    release(p);
}
void operator delete[](void* p, size_t, std::align_val_t) noexcept {
    release(p);
}

#endif
