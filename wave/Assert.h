#pragma once

#include <cstdio>
#include <cstdlib>

// VORN_ASSERT(condition) states an internal invariant. Sanitizer builds define VORN_ASSERTIONS=1:
// there a false condition prints file:line and the condition to stderr and aborts, so that sweeps
// and fuzzers stop where a fault starts. Elsewhere the condition is compiled but never evaluated.
// Hostile input is rejected by the code that reads it, never by an assertion.

namespace wave {

// Header-only, so that the build tools that compile single sources of the tree need no library.
[[noreturn, gnu::cold, gnu::noinline]] inline void assertionFailed(const char* file, int line,
                                                                   const char* condition) noexcept {
    std::fprintf(stderr, "%s:%d: assertion failed: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

}  // namespace wave

#if defined(VORN_ASSERTIONS) && VORN_ASSERTIONS
#define VORN_ASSERT(condition)              \
    (static_cast<bool>(condition) ? void(0) \
                                  : ::wave::assertionFailed(__FILE__, __LINE__, #condition))
#else
#define VORN_ASSERT(condition) static_cast<void>(sizeof(static_cast<bool>(condition)))
#endif
