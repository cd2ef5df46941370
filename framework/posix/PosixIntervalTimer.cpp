#include "framework/posix/PosixIntervalTimer.h"

#include <time.h>

PosixIntervalTimer::PosixIntervalTimer() : start_(PosixIntervalTimer::now()) {}

uint32_t PosixIntervalTimer::now() const {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
    return static_cast<uint32_t>(ms);
}

std::unique_ptr<IntervalTimer> createIntervalTimer() {
    return std::make_unique<PosixIntervalTimer>();
}
