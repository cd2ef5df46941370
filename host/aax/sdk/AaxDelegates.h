#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

// A host parameter keeps its value normalised; the taper maps it to the real value and back.
template <typename T>
class AAX_ITaperDelegate {
public:
    virtual ~AAX_ITaperDelegate() = default;
    virtual std::unique_ptr<AAX_ITaperDelegate> Clone() const = 0;
    virtual T ConstrainRealValue(T value) const = 0;
    virtual T NormalizedToReal(double normalized) const = 0;
    virtual double RealToNormalized(T value) const = 0;
};

// Real value to the text the host shows, cut to maxLength characters, and back.
template <typename T>
class AAX_IDisplayDelegate {
public:
    virtual ~AAX_IDisplayDelegate() = default;
    virtual std::unique_ptr<AAX_IDisplayDelegate> Clone() const = 0;
    virtual bool ValueToString(T value, int32_t maxLength, std::string* text) const = 0;
    virtual bool StringToValue(const std::string& text, T* value) const = 0;
};

// Integer states first..last, spread evenly over 0..1.
template <typename T>
class AAX_CStateTaperDelegate : public AAX_ITaperDelegate<T> {
public:
    AAX_CStateTaperDelegate(T first, T last) : first_(first), last_(last) {}

    std::unique_ptr<AAX_ITaperDelegate<T>> Clone() const override {
        return std::make_unique<AAX_CStateTaperDelegate>(*this);
    }
    T ConstrainRealValue(T value) const override { return std::clamp(value, first_, last_); }
    T NormalizedToReal(double normalized) const override {
        // NaN and out-of-range values land on the nearer end instead of overflowing.
        const double n = normalized > 0.0 ? std::min(normalized, 1.0) : 0.0;
        const double span = static_cast<double>(last_ - first_);
        return ConstrainRealValue(first_ + static_cast<T>(std::lround(n * span)));
    }
    double RealToNormalized(T value) const override {
        if (last_ == first_) return 0.0;
        return static_cast<double>(ConstrainRealValue(value) - first_) /
               static_cast<double>(last_ - first_);
    }

private:
    T first_;
    T last_;
};

template <typename T>
class AAX_CBinaryTaperDelegate : public AAX_ITaperDelegate<T> {
public:
    std::unique_ptr<AAX_ITaperDelegate<T>> Clone() const override {
        return std::make_unique<AAX_CBinaryTaperDelegate>(*this);
    }
    T ConstrainRealValue(T value) const override { return value; }
    T NormalizedToReal(double normalized) const override { return normalized >= 0.5; }
    double RealToNormalized(T value) const override { return value ? 1.0 : 0.0; }
};

template <typename T>
class AAX_CBinaryDisplayDelegate : public AAX_IDisplayDelegate<T> {
public:
    AAX_CBinaryDisplayDelegate(std::string falseText, std::string trueText)
        : falseText_(std::move(falseText)), trueText_(std::move(trueText)) {}

    std::unique_ptr<AAX_IDisplayDelegate<T>> Clone() const override {
        return std::make_unique<AAX_CBinaryDisplayDelegate>(*this);
    }
    bool ValueToString(T value, int32_t maxLength, std::string* text) const override {
        *text = (value ? trueText_ : falseText_).substr(0, static_cast<size_t>(maxLength));
        return true;
    }
    bool StringToValue(const std::string& text, T* value) const override {
        if (text == trueText_) {
            *value = true;
            return true;
        }
        if (text == falseText_) {
            *value = false;
            return true;
        }
        return false;
    }

private:
    std::string falseText_;
    std::string trueText_;
};
