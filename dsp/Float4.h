#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

// Four floats in one register through the compiler's vector extension: SSE2 on x86-64, NEON on
// AArch64. The lane-wise operators (+ - * /, comparisons giving Int4 masks of 0 or -1, ?: with
// a mask) come with the type; these helpers add what the operators leave out. Each helper is
// written as the scalar expression it replaces, so a scalar twin rounds the same way.
namespace simd {

using Float4 = float __attribute__((vector_size(16)));
using Int4 = int32_t __attribute__((vector_size(16)));
// Two four-lane values side by side: independent work that the CPU overlaps.
using Float8 = float __attribute__((vector_size(32)));

inline Float4 splat(float v) {
    return Float4{v, v, v, v};
}

inline Int4 splat(int32_t v) {
    return Int4{v, v, v, v};
}

// Unaligned: audio buffers are aligned, parameter rows and caller arrays need not be.
inline Float4 load(const float* p) {
    Float4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void store(float* p, Float4 v) {
    std::memcpy(p, &v, sizeof v);
}

// Where either lane is NaN, or both are zeros, the result is b: exactly the SSE instructions,
// which the compiler does not pick for the comparisons by itself.
inline Float4 min(Float4 a, Float4 b) {
#if defined(__SSE__)
    return reinterpret_cast<Float4>(
        _mm_min_ps(reinterpret_cast<__m128>(a), reinterpret_cast<__m128>(b)));
#else
    return a < b ? a : b;
#endif
}

inline Float4 max(Float4 a, Float4 b) {
#if defined(__SSE__)
    return reinterpret_cast<Float4>(
        _mm_max_ps(reinterpret_cast<__m128>(a), reinterpret_cast<__m128>(b)));
#else
    return a > b ? a : b;
#endif
}

// Eight-lane values are passed between inline functions of one build only, so GCC's note that
// their passing differs with AVX does not concern us.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

// Without AVX an eight-lane value lives in two registers: copying halves moves no data.
inline Float4 low(Float8 v) {
    Float4 r;
    std::memcpy(&r, &v, sizeof r);
    return r;
}

inline Float4 high(Float8 v) {
    Float4 r;
    std::memcpy(&r, reinterpret_cast<const char*>(&v) + sizeof r, sizeof r);
    return r;
}

inline Float8 join(Float4 lo, Float4 hi) {
    Float8 r;
    std::memcpy(&r, &lo, sizeof lo);
    std::memcpy(reinterpret_cast<char*>(&r) + sizeof lo, &hi, sizeof hi);
    return r;
}

// Each half as the four-lane min and max, so that the choices stay the same.
inline Float8 min(Float8 a, Float8 b) {
    return join(min(low(a), low(b)), min(high(a), high(b)));
}

inline Float8 max(Float8 a, Float8 b) {
    return join(max(low(a), low(b)), max(high(a), high(b)));
}

#pragma GCC diagnostic pop

inline Float4 select(Int4 mask, Float4 yes, Float4 no) {
    return mask ? yes : no;
}

// Toward zero, as static_cast<int32_t> of each lane.
inline Int4 truncate(Float4 v) {
    return __builtin_convertvector(v, Int4);
}

inline Float4 toFloat(Int4 v) {
    return __builtin_convertvector(v, Float4);
}

// Linear-interpolation neighbours: a = base[index], b = base[index + 1] for each lane, read as
// four 8-byte pairs and split into even and odd floats.
inline void gatherPairs(const float* base, Int4 index, Float4& a, Float4& b) {
    using Float2 = float __attribute__((vector_size(8)));
    Float2 pair[4];
    for (int lane = 0; lane < 4; ++lane)
        std::memcpy(&pair[lane], base + index[lane], sizeof(Float2));
    const Float4 low = __builtin_shufflevector(pair[0], pair[1], 0, 1, 2, 3);
    const Float4 high = __builtin_shufflevector(pair[2], pair[3], 0, 1, 2, 3);
    a = __builtin_shufflevector(low, high, 0, 2, 4, 6);
    b = __builtin_shufflevector(low, high, 1, 3, 5, 7);
}

}  // namespace simd
