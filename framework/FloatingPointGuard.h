#pragma once

#include <cstdint>

#include "framework/Realtime.h"

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

// Holds the calling thread in the audio floating-point mode (round to nearest, flush-to-zero,
// denormals-are-zero, exceptions masked) for its lifetime and then gives the caller back its own
// mode: hosts run other plug-ins on the same thread. One register read and written, MXCSR on
// x86-64 and FPCR on AArch64; no system call.
class FloatingPointGuard {
public:
#if defined(__SSE__)
    static constexpr uint64_t kAudioMode = 0x9FC0;    // FTZ, DAZ, all exceptions masked
    static constexpr uint64_t kDefaultMode = 0x1F80;  // what a new thread starts with
#elif defined(__aarch64__)
    static constexpr uint64_t kAudioMode = uint64_t{1} << 24;  // FZ: flushes inputs and results
    static constexpr uint64_t kDefaultMode = 0;
#else
    static constexpr uint64_t kAudioMode = 0;
    static constexpr uint64_t kDefaultMode = 0;
#endif

    FloatingPointGuard() VORN_NONBLOCKING : saved_(mode()) {
        setMode(kAudioMode);
    }
    ~FloatingPointGuard() VORN_NONBLOCKING {
        setMode(saved_);
    }
    FloatingPointGuard(const FloatingPointGuard&) = delete;
    FloatingPointGuard& operator=(const FloatingPointGuard&) = delete;

    static uint64_t mode() VORN_NONBLOCKING {
#if defined(__SSE__)
        return _mm_getcsr();
#elif defined(__aarch64__)
        uint64_t fpcr;
        asm volatile("mrs %0, fpcr" : "=r"(fpcr)::"memory");
        return fpcr;
#else
        return 0;
#endif
    }

    static void setMode(uint64_t mode) VORN_NONBLOCKING {
#if defined(__SSE__)
        _mm_setcsr(static_cast<unsigned>(mode));
#elif defined(__aarch64__)
        asm volatile("msr fpcr, %0" ::"r"(mode) : "memory");
#else
        (void)mode;
#endif
    }

private:
    uint64_t saved_;
};
