#pragma once

// Marks the audio thread's entry points. RealtimeSanitizer builds (clang 20 and later with
// -fsanitize=realtime) then stop the process at any allocation, lock or blocking system call made
// inside them; other compilers see nothing.
#if defined(__clang__) && __clang_major__ >= 20
#define VORN_NONBLOCKING [[clang::nonblocking]]
#else
#define VORN_NONBLOCKING
#endif
