#include "dsp/FilterSettingTable.h"

#include <algorithm>

#include "wave/Assert.h"

FilterSettingTable::FilterSettingTable(int size)
    : size_(size), values_(size * size, 0.0f), differences_(size * size, 0.0f) {
    // Interpolation needs a next row and column.
    VORN_ASSERT(size >= 2);
}

void FilterSettingTable::assign(int size, std::span<const float> rowMajor) {
    VORN_ASSERT(size >= 2 && rowMajor.size() >= static_cast<size_t>(size) * size);
    size_ = size;
    values_.assign(rowMajor.begin(), rowMajor.begin() + size * size);
    differences_.assign(size * size, 0.0f);
    for (int r = 0; r < size_; ++r) updateDifferences(r);
}

void FilterSettingTable::set(int row, int column, float value) {
    VORN_ASSERT(row >= 0 && row < size_ && column >= 0 && column < size_);
    values_[row * size_ + column] = value;
    updateDifferences(row);
}

void FilterSettingTable::updateDifferences(int row) {
    float* d = &differences_[row * size_];
    const float* v = &values_[row * size_];
    for (int j = 0; j + 1 < size_; ++j) d[j] = v[j + 1] - v[j];
    d[size_ - 1] = 0.0f;
}

float FilterSettingTable::lookup(float column, float row) const {
    const auto last = static_cast<float>(size_ - 1);
    VORN_ASSERT(column >= 0.0f && column <= last && row >= 0.0f && row <= last);
    const int j = static_cast<int>(column);
    // The last row has no successor: interpolate towards it from the row before.
    const int r = std::min(static_cast<int>(row), size_ - 2);
    const float u = column - static_cast<float>(j);
    const float v = row - static_cast<float>(r);
    const int at = r * size_ + j;
    const float a = values_[at] + u * differences_[at];
    const float b = values_[at + size_] + u * differences_[at + size_];
    return a + (b - a) * v;
}
