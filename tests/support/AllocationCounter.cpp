#include "tests/support/AllocationCounter.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <new>

namespace {
thread_local int tGuards = 0;
thread_local size_t tAllocations = 0;
thread_local size_t tFrees = 0;

inline void noteAllocation() {
    if (tGuards) ++tAllocations;
}
inline void noteFree(void* p) {
    if (tGuards && p) ++tFrees;
}
}  // namespace

AllocationGuard::AllocationGuard() : allocationsAtStart_(tAllocations), freesAtStart_(tFrees) {
    ++tGuards;
}
AllocationGuard::~AllocationGuard() {
    --tGuards;
}
size_t AllocationGuard::allocations() const {
    return tAllocations - allocationsAtStart_;
}
size_t AllocationGuard::frees() const {
    return tFrees - freesAtStart_;
}

#ifndef VORN_SANITIZED
// The C family: forwarded to glibc's own entry points.
extern "C" {
void* __libc_malloc(size_t);
void __libc_free(void*);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void* __libc_valloc(size_t);
void* __libc_pvalloc(size_t);

void* malloc(size_t n) {
    noteAllocation();
    return __libc_malloc(n);
}
void free(void* p) {
    noteFree(p);
    __libc_free(p);
}
void* calloc(size_t count, size_t n) {
    noteAllocation();
    return __libc_calloc(count, n);
}
void* realloc(void* p, size_t n) {
    noteAllocation();
    return __libc_realloc(p, n);
}
void* memalign(size_t alignment, size_t n) {
    noteAllocation();
    return __libc_memalign(alignment, n);
}
void* aligned_alloc(size_t alignment, size_t n) {
    noteAllocation();
    return __libc_memalign(alignment, n);
}
void* valloc(size_t n) {
    noteAllocation();
    return __libc_valloc(n);
}
void* pvalloc(size_t n) {
    noteAllocation();
    return __libc_pvalloc(n);
}
int posix_memalign(void** out, size_t alignment, size_t n) {
    noteAllocation();
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
    void* p = __libc_memalign(alignment, n);
    if (!p) return ENOMEM;
    *out = p;
    return 0;
}
}
#endif

namespace {
#ifdef VORN_SANITIZED
constexpr bool kCountNew = true;
#else
constexpr bool kCountNew = false;  // the replaced malloc family counts
#endif

void* allocate(size_t n) {
    if (kCountNew) noteAllocation();
    return std::malloc(n ? n : 1);
}
void* allocateOrThrow(size_t n) {
    if (void* p = allocate(n)) return p;
    throw std::bad_alloc();
}
void* allocateAlignedOrThrow(size_t n, std::align_val_t alignment) {
    if (kCountNew) noteAllocation();
    const auto a = static_cast<size_t>(alignment);
    if (void* p = std::aligned_alloc(a, (std::max<size_t>(n, 1) + a - 1) / a * a)) return p;
    throw std::bad_alloc();
}
void release(void* p) {
    if (kCountNew) noteFree(p);
    std::free(p);
}
}  // namespace

void* operator new(size_t n) {
    return allocateOrThrow(n);
}
void* operator new[](size_t n) {
    return allocateOrThrow(n);
}
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    return allocate(n);
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
    return allocate(n);
}
void* operator new(size_t n, std::align_val_t a) {
    return allocateAlignedOrThrow(n, a);
}
void* operator new[](size_t n, std::align_val_t a) {
    return allocateAlignedOrThrow(n, a);
}
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, size_t) noexcept {
    release(p);
}
void operator delete[](void* p, size_t) noexcept {
    release(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    release(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept {
    release(p);
}
void operator delete[](void* p, size_t, std::align_val_t) noexcept {
    release(p);
}
