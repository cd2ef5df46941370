#include "tests/host/lv2/LockCounter.h"

#include <dlfcn.h>
#include <pthread.h>

namespace {
thread_local int tCounters = 0;
thread_local size_t tLocks = 0;

inline void noteLock() {
    if (tCounters) ++tLocks;
}
}  // namespace

LockCounter::LockCounter() : locksAtStart_(tLocks) {
    ++tCounters;
}
LockCounter::~LockCounter() {
    --tCounters;
}
size_t LockCounter::locks() const {
    return tLocks - locksAtStart_;
}

#ifndef VORN_SANITIZED
bool LockCounter::active() {
    return true;
}

namespace {
// glibc's own entry points, looked up once before any test runs.
template <typename F>
F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
using MutexFunction = int (*)(pthread_mutex_t*);
using RwLockFunction = int (*)(pthread_rwlock_t*);
const MutexFunction realMutexLock = next<MutexFunction>("pthread_mutex_lock");
const MutexFunction realMutexTryLock = next<MutexFunction>("pthread_mutex_trylock");
const RwLockFunction realReadLock = next<RwLockFunction>("pthread_rwlock_rdlock");
const RwLockFunction realWriteLock = next<RwLockFunction>("pthread_rwlock_wrlock");
}  // namespace

extern "C" {
int pthread_mutex_lock(pthread_mutex_t* mutex) {
    noteLock();
    return realMutexLock ? realMutexLock(mutex) : 0;
}
int pthread_mutex_trylock(pthread_mutex_t* mutex) {
    noteLock();
    return realMutexTryLock ? realMutexTryLock(mutex) : 0;
}
int pthread_rwlock_rdlock(pthread_rwlock_t* lock) {
    noteLock();
    return realReadLock ? realReadLock(lock) : 0;
}
int pthread_rwlock_wrlock(pthread_rwlock_t* lock) {
    noteLock();
    return realWriteLock ? realWriteLock(lock) : 0;
}
}
#else
bool LockCounter::active() {
    return false;
}
#endif
