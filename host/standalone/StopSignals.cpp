#include "host/standalone/StopSignals.h"

#include <pthread.h>

#include <cerrno>
#include <ctime>

namespace {
constexpr long kNanosecondsPerMillisecond = 1000000;
constexpr int kMillisecondsPerSecond = 1000;
}  // namespace

StopSignals::StopSignals() {
    sigemptyset(&stopSet_);
    sigaddset(&stopSet_, SIGINT);
    sigaddset(&stopSet_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSet_, &previous_);
}

StopSignals::~StopSignals() {
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

int StopSignals::wait(int timeoutMs) {
    const timespec timeout{timeoutMs / kMillisecondsPerSecond,
                           (timeoutMs % kMillisecondsPerSecond) * kNanosecondsPerMillisecond};
    for (;;) {
        const int signal = sigtimedwait(&stopSet_, nullptr, &timeout);
        if (signal > 0) return signal;
        // Another signal interrupted the wait: a shorter wait is harmless, a missed stop is not.
        if (errno != EINTR) return 0;
    }
}
