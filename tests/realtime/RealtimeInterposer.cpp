#include "tests/realtime/RealtimeInterposer.h"

#ifdef VORN_REALTIME_SANITIZER
// The runtime's entry points behind [[clang::nonblocking]]; the public header lacks them.
extern "C" void __rtsan_realtime_enter();
extern "C" void __rtsan_realtime_exit();
#endif

RealtimeCounts& RealtimeCounts::operator+=(const RealtimeCounts& more) {
    allocations += more.allocations;
    frees += more.frees;
    locks += more.locks;
    sleeps += more.sleeps;
    return *this;
}

RealtimeScope::RealtimeScope() {
#ifdef VORN_REALTIME_SANITIZER
    __rtsan_realtime_enter();
#endif
}

RealtimeScope::~RealtimeScope() {
#ifdef VORN_REALTIME_SANITIZER
    __rtsan_realtime_exit();
#endif
}

RealtimeCounts RealtimeScope::counts() const {
    return {allocations_.allocations(), allocations_.frees(), blocking_.locks(),
            blocking_.sleeps()};
}
