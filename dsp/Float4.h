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
// Two or four four-lane values side by side: independent work that the CPU overlaps.
using Float8 = float __attribute__((vector_size(32)));
using Float16 = float __attribute__((vector_size(64)));

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

// Wide values are passed between inline functions of one build only, so GCC's note that their
// passing differs with AVX does not concern us.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

// Four lanes at a time through the four-lane min and max, so that the choices stay the same.
// Without AVX a wide value lives in several registers: copying quarters moves no data.
template <typename V, typename Op>
[[gnu::always_inline]] inline V byQuarters(V a, V b, Op op) {
    V r;
    for (size_t q = 0; q < sizeof(V) / sizeof(Float4); ++q) {
        Float4 x, y;
        std::memcpy(&x, reinterpret_cast<const char*>(&a) + q * sizeof x, sizeof x);
        std::memcpy(&y, reinterpret_cast<const char*>(&b) + q * sizeof y, sizeof y);
        const Float4 m = op(x, y);
        std::memcpy(reinterpret_cast<char*>(&r) + q * sizeof m, &m, sizeof m);
    }
    return r;
}

template <typename V>
[[gnu::always_inline]] inline V minEach(V a, V b) {
    return byQuarters(a, b, [](Float4 x, Float4 y) { return min(x, y); });
}

template <typename V>
[[gnu::always_inline]] inline V maxEach(V a, V b) {
    return byQuarters(a, b, [](Float4 x, Float4 y) { return max(x, y); });
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
