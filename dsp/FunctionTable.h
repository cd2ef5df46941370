#pragma once

#include <cstdint>
#include <vector>

#include "dsp/Float4.h"

// A function of one variable that a FunctionTable samples.
class FunctionTableFunction {
public:
    virtual ~FunctionTableFunction() = default;
    virtual double evaluate(double x) const = 0;
};

// Linearly interpolated lookup table of a function over [min, max]. Positions outside the table
// wrap around; callers keep x inside the domain.
class FunctionTable {
public:
    // size: the smallest power of two >= requestedCount, at least 2.
    FunctionTable(const FunctionTableFunction& f, float min, float max, uint32_t requestedCount);

    void build(const FunctionTableFunction& f, float min, float max, uint32_t requestedCount);

    float operator()(float x) const {
        const float p = x * scale_ - offsetFraction_;
        // floor without a library call; positions are small, so the conversion cannot overflow
        const auto truncated = static_cast<int32_t>(p);
        const int32_t whole = truncated - (p < static_cast<float>(truncated) ? 1 : 0);
        const uint32_t i = static_cast<uint32_t>(whole - offsetInteger_) & mask_;
        return data_[i] + (data_[i + 1] - data_[i]) * (p - static_cast<float>(whole));
    }

    // Four lookups at once, each exactly as operator() computes it.
    simd::Float4 lookup4(simd::Float4 x) const {
        const simd::Float4 p = x * simd::splat(scale_) - simd::splat(offsetFraction_);
        const simd::Int4 truncated = simd::truncate(p);
        // A true comparison is -1: adding it subtracts one.
        const simd::Int4 whole = truncated + (p < simd::toFloat(truncated));
        const simd::Float4 t = p - simd::toFloat(whole);
        const simd::Int4 i = (whole - simd::splat(offsetInteger_)) & simd::splat(int32_t(mask_));
        simd::Float4 a, b;
        simd::gatherPairs(data_.data(), i, a, b);
        return a + (b - a) * t;
    }

    uint32_t size() const { return size_; }
    float minimum() const { return min_; }
    float maximum() const { return max_; }
    float step() const { return step_; }
    // size + 1 entries; the last two hold f(max).
    const float* data() const { return data_.data(); }

private:
    uint32_t size_ = 0;
    uint32_t mask_ = 0;
    float min_ = 0.0f;
    float max_ = 0.0f;
    float step_ = 0.0f;
    float scale_ = 0.0f;
    // The position offset (size - 1) * min / (max - min), split so that the float part stays
    // small and keeps its precision.
    int32_t offsetInteger_ = 0;
    float offsetFraction_ = 0.0f;
    std::vector<float> data_;
};
