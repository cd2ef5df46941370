#include "dsp/FunctionTable.h"

#include <algorithm>
#include <bit>
#include <cmath>

FunctionTable::FunctionTable(const FunctionTableFunction& f, float min, float max,
                             uint32_t requestedCount) {
    build(f, min, max, requestedCount);
}

void FunctionTable::build(const FunctionTableFunction& f, float min, float max,
                          uint32_t requestedCount) {
    size_ = std::bit_ceil(std::max<uint32_t>(requestedCount, 2));
    mask_ = size_ - 1;
    min_ = min;
    max_ = max;
    step_ = (max - min) / static_cast<float>(size_ - 1);
    scale_ = step_ != 0.0f ? 1.0f / step_ : 0.0f;
    const double offset =
        max != min ? static_cast<double>(size_ - 1) * min / (static_cast<double>(max) - min) : 0.0;
    const double whole = std::floor(offset);
    offsetInteger_ = static_cast<int32_t>(whole);
    offsetFraction_ = static_cast<float>(offset - whole);

    data_.assign(size_ + 1, 0.0f);
    data_[0] = static_cast<float>(f.evaluate(min));
    double x = min;
    for (uint32_t i = 1; i + 1 < size_; ++i) {
        x += step_;
        data_[i] = static_cast<float>(f.evaluate(x));
    }
    data_[size_ - 1] = data_[size_] = static_cast<float>(f.evaluate(max));
}
