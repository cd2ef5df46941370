#pragma once

#include <cstdint>
#include <vector>

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
    template <typename V4>
    V4 lookup4(V4 x) const {
        using I4 = int32_t __attribute__((vector_size(16)));
        const V4 scale = {scale_, scale_, scale_, scale_};
        const V4 fraction = {offsetFraction_, offsetFraction_, offsetFraction_, offsetFraction_};
        const V4 p = x * scale - fraction;
        const I4 truncated = __builtin_convertvector(p, I4);
        // A true comparison is -1: adding it subtracts one.
        const I4 whole = truncated + (p < __builtin_convertvector(truncated, V4));
        const V4 t = p - __builtin_convertvector(whole, V4);
        V4 a;
        V4 b;
        for (int lane = 0; lane < 4; ++lane) {
            const uint32_t i = static_cast<uint32_t>(whole[lane] - offsetInteger_) & mask_;
            a[lane] = data_[i];
            b[lane] = data_[i + 1];
        }
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
