#pragma once

#include <cstddef>

// Counts heap allocations and frees made by the current thread while a guard is alive. The test
// binaries replace the global operator new/delete family and, outside sanitizer builds (whose
// runtimes own malloc), the C allocation functions as well.
class AllocationGuard {
public:
    AllocationGuard();
    ~AllocationGuard();
    AllocationGuard(const AllocationGuard&) = delete;
    AllocationGuard& operator=(const AllocationGuard&) = delete;

    size_t allocations() const;
    size_t frees() const;

private:
    size_t allocationsAtStart_;
    size_t freesAtStart_;
};
