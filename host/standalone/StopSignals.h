#pragma once

#include <signal.h>

// Blocks SIGINT and SIGTERM in the constructing thread and in every thread started after it, so
// that a stop request stays pending until the owner takes it with wait. No signal handler runs:
// the shutdown that follows happens on the owner's thread with every call allowed.
class StopSignals {
public:
    StopSignals();
    // Restores the signal mask the thread had before.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Waits up to timeoutMs (0: only looks) for SIGINT or SIGTERM; returns the signal or 0.
    int wait(int timeoutMs);

private:
    sigset_t stopSet_;
    sigset_t previous_;
};
