#pragma once

#include <span>
#include <vector>

// An N x N table over (peak step, frequency step), bilinearly interpolated. Each row keeps the
// differences to its next column (the last one 0) so that a lookup needs no bounds test there.
class FilterSettingTable {
public:
    static constexpr int kDefaultSize = 11;

    explicit FilterSettingTable(int size = kDefaultSize);

    int size() const { return size_; }
    float at(int row, int column) const { return values_[row * size_ + column]; }
    // rowMajor holds size * size values.
    void assign(int size, std::span<const float> rowMajor);
    void set(int row, int column, float value);

    // column in [0, N - 1], row in [0, N - 1].
    float lookup(float column, float row) const;

private:
    void updateDifferences(int row);

    int size_;
    std::vector<float> values_;
    std::vector<float> differences_;
};
