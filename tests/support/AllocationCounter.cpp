#include "tests/support/AllocationCounter.h"

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

namespace {
inline void* rawAllocate(size_t n) {
    return __libc_malloc(n ? n : 1);
}
inline void* rawAllocateAligned(size_t n, size_t a) {
    return __libc_memalign(a, n ? n : 1);
}
inline void rawFree(void* p) {
    __libc_free(p);
}
}  // namespace
#else
namespace {
inline void* rawAllocate(size_t n) {
    return std::malloc(n ? n : 1);
}
inline void* rawAllocateAligned(size_t n, size_t a) {
    return std::aligned_alloc(a, (n + a - 1) / a * a);
}
inline void rawFree(void* p) {
    std::free(p);
}
}  // namespace
#endif

namespace {
void* allocateOrThrow(size_t n) {
    noteAllocation();
    if (void* p = rawAllocate(n)) return p;
    throw std::bad_alloc();
}
void* allocateAlignedOrThrow(size_t n, std::align_val_t a) {
    noteAllocation();
    if (void* p = rawAllocateAligned(n, static_cast<size_t>(a))) return p;
    throw std::bad_alloc();
}
void release(void* p) {
    noteFree(p);
    rawFree(p);
}
}  // namespace

void* operator new(size_t n) {
    return allocateOrThrow(n);
}
void* operator new[](size_t n) {
    return allocateOrThrow(n);
}
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    noteAllocation();
    return rawAllocate(n);
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
    noteAllocation();
    return rawAllocate(n);
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
