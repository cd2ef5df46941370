#pragma once

#include <cstdint>
#include <memory>

// Milliseconds since a start mark, on a 32-bit clock that wraps; differences stay right across
// the wrap as long as they are below 2^32 ms.
class IntervalTimer {
public:
    virtual ~IntervalTimer() = default;
    virtual uint32_t elapsed() const = 0;
    // Sets the start mark to now and returns it.
    virtual uint32_t restart() = 0;
};

// The platform's timer, started at creation.
std::unique_ptr<IntervalTimer> createIntervalTimer();
