#pragma once

#include <cstddef>

// Counts the mutex and reader-writer lock acquisitions the current thread makes while a counter
// is alive. The test binary replaces pthread_mutex_lock and its kin (outside sanitizer builds,
// whose runtimes own them); a module loaded into the process calls the replacements too.
class LockCounter {
public:
    LockCounter();
    ~LockCounter();
    LockCounter(const LockCounter&) = delete;
    LockCounter& operator=(const LockCounter&) = delete;

    size_t locks() const;
    // False in builds where the lock functions are not replaced.
    static bool active();

private:
    size_t locksAtStart_;
};
