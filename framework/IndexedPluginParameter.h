#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "framework/AbstractPluginParameter.h"

// Text helpers of the indexed parameters.
// Splits at every ",": "a,,b" gives three names, the middle one empty.
std::vector<std::string> splitParameterNames(const std::string& commaSeparated);
// Position of the first exact match, else of the first match ignoring case; -1 when none.
int findParameterName(const std::vector<std::string>& names, const std::string& text);
std::string formatParameterIndex(int value);
// Reads an integer the way "%d" does (leading blanks, sign, digits; the rest is ignored).
bool parseParameterIndex(const std::string& text, int* value);
// lo + the nearest step of normalized over [lo, hi], clamped to the range.
int normalizedToIndex(double normalized, int lo, int hi);

// A sub-range of an indexed parameter that a host control may cover: the keys select where the
// range ends (see IndexedPluginParameter::plainToHostNormalized).
struct RangeBoundary {
    int index;
    int key;
};

// A parameter whose plain value is an integer index, usually standing for an enumeration T.
// With a value map, index i selects map[i - first] and the index range is the map's.
template <typename T>
class IndexedPluginParameter : public AbstractPluginParameter {
public:
    IndexedPluginParameter(GenericParameterOwner* owner, const std::string& name)
        : AbstractPluginParameter(owner, kIndexed, name) {}

    float plainToNormalized(float plain) const override {
        const int range = maximum_ - minimum_;
        if (range == 0) return 0.0f;
        return static_cast<float>(static_cast<double>(static_cast<int>(plain) - minimum_) / range);
    }
    float normalizedToPlain(float normalized) const override {
        return static_cast<float>(normalizedToIndex(normalized, minimum_, maximum_));
    }
    // With range boundaries the key selects the sub-range [lo, hi] (see boundarySpan); values
    // outside it, and lo itself, give 0.
    float plainToHostNormalized(float plain, int rangeKey) const override {
        if (boundaries_.empty()) return plainToNormalized(plain);
        const Span span = boundarySpan(rangeKey);
        const int index = static_cast<int>(plain);
        if (index <= span.lo || index > span.hi) return 0.0f;
        return static_cast<float>(static_cast<double>(index - span.lo) / (span.hi - span.lo));
    }
    // With range boundaries: fails when the key lies past the first boundary and the value
    // lands on the sub-range's lower end, which belongs to the previous sub-range.
    bool hostNormalizedToPlain(float normalized, int rangeKey, float* plainOut) const override {
        if (boundaries_.empty()) {
            *plainOut = normalizedToPlain(normalized);
            return true;
        }
        const Span span = boundarySpan(rangeKey);
        const int index = normalizedToIndex(normalized, span.lo, span.hi);
        *plainOut = static_cast<float>(index);
        return span.firstMatched || index > span.lo;
    }
    // Names (exact, then ignoring case), else an integer: a mapped value with a value map, an
    // index in range without one.
    bool parseText(const std::string& text, float* plainOut) const override {
        *plainOut = getValue();
        if (!names_.empty()) {
            const int position = findParameterName(names_, text);
            if (position >= 0) {
                *plainOut = static_cast<float>(minimum_ + position);
                return true;
            }
        }
        int number = 0;
        if (!parseParameterIndex(text, &number)) return false;
        if (!valueMap_.empty()) {
            const auto it = std::find(valueMap_.begin(), valueMap_.end(), static_cast<T>(number));
            if (it == valueMap_.end() || static_cast<int>(*it) != number) return false;
            *plainOut = static_cast<float>(mapFirst_ + (it - valueMap_.begin()));
            return true;
        }
        if (number < minimum_ || number > maximum_) return false;
        *plainOut = static_cast<float>(number);
        return true;
    }
    // The name of the index; a name table shorter than the range is a programming error and
    // throws std::out_of_range. Without names: the mapped value or the index.
    std::string formatValue(float plain) const override {
        const int index = static_cast<int>(plain);
        if (!names_.empty()) return names_.at(static_cast<size_t>(index - minimum_));
        if (valueMap_.empty()) return formatParameterIndex(index);
        return formatParameterIndex(static_cast<int>(valueForIndex(index)));
    }
    float getDefault() const override { return static_cast<float>(indexOf(default_)); }
    int lookupRangeBoundary(int key) const override {
        for (const RangeBoundary& b : boundaries_) {
            if (b.key == key) return b.index;
        }
        return -1;
    }
    float getMaximum() const override { return static_cast<float>(maximum_); }
    float getMinimum() const override { return static_cast<float>(minimum_); }
    float getValue() const override { return static_cast<float>(indexOf(value())); }
    void setValue(float plain, int flags) override {
        // Clamped as a float first: a value beyond int's range (a damaged record) has no int.
        if (std::isnan(plain)) return;
        const int index = static_cast<int>(
            std::clamp(plain, static_cast<float>(minimum_), static_cast<float>(maximum_)));
        if (index == indexOf(value())) return;
        value_.store(valueForIndex(index), std::memory_order_relaxed);
        owner()->parameterChanged(id(), static_cast<float>(index), flags);
    }
    bool isNumeric() const override { return names_.empty(); }

    // Sets range, default and value at once (without notifying the owner); a value map, when
    // present, decides the index range instead.
    void declare(int minimum, int maximum, T defaultValue) {
        declaredMinimum_ = minimum;
        declaredMaximum_ = maximum;
        default_ = defaultValue;
        value_.store(defaultValue, std::memory_order_relaxed);
        updateRange();
    }
    // One name per index from the minimum on.
    void setNames(const std::string& commaSeparated) {
        names_ = splitParameterNames(commaSeparated);
    }
    // Index first + k selects values[k].
    void setValueMap(std::vector<T> values, int first) {
        valueMap_ = std::move(values);
        mapFirst_ = first;
        updateRange();
    }
    // Pairs ascending by key.
    void setRangeBoundaries(std::vector<RangeBoundary> boundaries) {
        boundaries_ = std::move(boundaries);
    }

    T value() const { return value_.load(std::memory_order_relaxed); }
    // The value that index selects: the mapped value clamped to the map's ends, or the index
    // clamped to the range.
    T valueForIndex(int index) const {
        if (valueMap_.empty()) return static_cast<T>(std::clamp(index, minimum_, maximum_));
        const int last = static_cast<int>(valueMap_.size()) - 1;
        return valueMap_[static_cast<size_t>(std::clamp(index - mapFirst_, 0, last))];
    }
    int declaredMinimum() const { return declaredMinimum_; }
    int declaredMaximum() const { return declaredMaximum_; }
    const std::vector<std::string>& names() const { return names_; }

private:
    struct Span {
        int lo;
        int hi;
        bool firstMatched;
    };

    // Walks the pairs from [minimum, maximum]: every pair whose key is below rangeKey moves lo up
    // to its index; the first pair whose key is at least rangeKey sets hi and ends the walk.
    Span boundarySpan(int rangeKey) const {
        Span span{minimum_, maximum_, false};
        for (size_t k = 0; k < boundaries_.size(); ++k) {
            if (rangeKey > boundaries_[k].key) {
                span.lo = boundaries_[k].index;
            } else {
                span.hi = boundaries_[k].index;
                span.firstMatched = k == 0;
                break;
            }
        }
        return span;
    }
    // The index of a value; a value missing from the map counts as the first index.
    int indexOf(T value) const {
        if (valueMap_.empty()) return static_cast<int>(value);
        const auto it = std::find(valueMap_.begin(), valueMap_.end(), value);
        if (it == valueMap_.end()) return mapFirst_;
        return mapFirst_ + static_cast<int>(it - valueMap_.begin());
    }
    void updateRange() {
        if (valueMap_.empty()) {
            minimum_ = declaredMinimum_;
            maximum_ = declaredMaximum_;
        } else {
            minimum_ = mapFirst_;
            maximum_ = mapFirst_ + static_cast<int>(valueMap_.size()) - 1;
        }
    }

    T default_{};
    int maximum_ = 0;
    int minimum_ = 0;
    std::vector<T> valueMap_;
    int mapFirst_ = 0;
    int declaredMaximum_ = 0;
    int declaredMinimum_ = 0;
    // Written by the thread that sets it, read by others (state saves, the editor).
    std::atomic<T> value_{};
    std::vector<std::string> names_;
    std::vector<RangeBoundary> boundaries_;
};
