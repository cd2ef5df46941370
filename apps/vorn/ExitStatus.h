#pragma once

// Exit statuses of the vorn program.
inline constexpr int kExitSuccess = 0;
// The work was done and found faults (`vorn audit --check`).
inline constexpr int kExitFailure = 1;
// Input the program cannot use: bad arguments, unreadable or malformed files, unwritable output.
inline constexpr int kExitUsageError = 2;
