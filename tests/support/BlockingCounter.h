#pragma once

#include <cstddef>

// Counts the lock acquisitions and sleeps the current thread makes while a counter is alive. The
// test binaries replace pthread_mutex_lock and its kin and the sleep calls (outside sanitizer
// builds, whose runtimes own them); a module loaded into the process calls the replacements too.
class BlockingCounter {
public:
    BlockingCounter();
    ~BlockingCounter();
    BlockingCounter(const BlockingCounter&) = delete;
    BlockingCounter& operator=(const BlockingCounter&) = delete;

    size_t locks() const;
    size_t sleeps() const;
    // False in builds where the lock and sleep functions are not replaced.
    static bool active();

private:
    size_t locksAtStart_;
    size_t sleepsAtStart_;
};
