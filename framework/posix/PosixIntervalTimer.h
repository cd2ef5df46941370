#pragma once

#include "framework/IntervalTimer.h"

class PosixIntervalTimer : public IntervalTimer {
public:
    PosixIntervalTimer();

    uint32_t elapsed() const override { return now() - start_; }
    uint32_t restart() override { return start_ = now(); }

protected:
    // The monotonic clock in milliseconds, truncated to 32 bits.
    virtual uint32_t now() const;

private:
    uint32_t start_ = 0;
};
