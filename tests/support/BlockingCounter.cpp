#include "tests/support/BlockingCounter.h"

#include <dlfcn.h>
#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace {
thread_local int tCounters = 0;
thread_local size_t tLocks = 0;
thread_local size_t tSleeps = 0;

inline void note(size_t& counter) {
    if (tCounters) ++counter;
}
}  // namespace

BlockingCounter::BlockingCounter() : locksAtStart_(tLocks), sleepsAtStart_(tSleeps) {
    ++tCounters;
}
BlockingCounter::~BlockingCounter() {
    --tCounters;
}
size_t BlockingCounter::locks() const {
    return tLocks - locksAtStart_;
}
size_t BlockingCounter::sleeps() const {
    return tSleeps - sleepsAtStart_;
}

#ifndef VORN_SANITIZED
bool BlockingCounter::active() {
    return true;
}

namespace {
// glibc's own entry point, found past this binary's replacements on first use.
template <typename F>
F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
using MutexFunction = int (*)(pthread_mutex_t*);
using RwLockFunction = int (*)(pthread_rwlock_t*);

int sleepFor(const timespec& duration, timespec* remaining) {
    note(tSleeps);
    const int error = clock_nanosleep(CLOCK_MONOTONIC, 0, &duration, remaining);
    if (error == 0) return 0;
    errno = error;
    return -1;
}
}  // namespace

extern "C" {
int pthread_mutex_lock(pthread_mutex_t* mutex) {
    static const auto real = next<MutexFunction>("pthread_mutex_lock");
    note(tLocks);
    return real(mutex);
}
int pthread_mutex_trylock(pthread_mutex_t* mutex) {
    static const auto real = next<MutexFunction>("pthread_mutex_trylock");
    note(tLocks);
    return real(mutex);
}
int pthread_rwlock_rdlock(pthread_rwlock_t* lock) {
    static const auto real = next<RwLockFunction>("pthread_rwlock_rdlock");
    note(tLocks);
    return real(lock);
}
int pthread_rwlock_wrlock(pthread_rwlock_t* lock) {
    static const auto real = next<RwLockFunction>("pthread_rwlock_wrlock");
    note(tLocks);
    return real(lock);
}
int nanosleep(const timespec* duration, timespec* remaining) {
    return sleepFor(*duration, remaining);
}
int usleep(useconds_t microseconds) {
    return sleepFor({static_cast<time_t>(microseconds / 1000000),
                     static_cast<long>(microseconds % 1000000) * 1000},
                    nullptr);
}
unsigned int sleep(unsigned int seconds) {
    timespec remaining{};
    if (sleepFor({static_cast<time_t>(seconds), 0}, &remaining) == 0) return 0;
    return static_cast<unsigned int>(remaining.tv_sec + (remaining.tv_nsec > 0 ? 1 : 0));
}
}
#else
bool BlockingCounter::active() {
    return false;
}
#endif
