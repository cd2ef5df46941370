#include "dsp/DesignFilter.h"

#include <algorithm>
#include <cstring>
#include <vector>

DesignFilter::DesignFilter(wave::Environment& env, const Style* style)
    : StateVariableFilter(env), style_(style) {}

void DesignFilter::setStyle(const Style* style) {
    if (style == style_) return;
    const float before = inputGain();
    style_ = style;
    const float after = inputGain();
    if (after != before) scaleState(after / before);
}

StateVariableFilter::Coefficients DesignFilter::lookup(float frequency, float peak) {
    lastFrequency_.store(frequency, std::memory_order_relaxed);
    lastPeak_.store(peak, std::memory_order_relaxed);
    if (!useStyle_) {
        const float re = resonance;
        return {re, re >= kOwnSaturationThreshold ? saturation.get() : 0.0f, drive.get()};
    }
    if (!style_) return StateVariableFilter::lookup(frequency, peak);
    return style_->lookup(frequency, peak);
}

float DesignFilter::inputGain() const {
    return style_ ? style_->inputGain() : StateVariableFilter::inputGain();
}

const FunctionTable& DesignFilter::clipTable() const {
    return style_ ? style_->clipTable().table() : StateVariableFilter::clipTable();
}

namespace {

// Little-endian reads that fail, and stay failed, at the end of the data.
class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    bool good() const { return good_; }
    bool read(void* out, size_t size) {
        if (!good_ || bytes_.size() - position_ < size) {
            good_ = false;
            return false;
        }
        std::memcpy(out, bytes_.data() + position_, size);
        position_ += size;
        return true;
    }
    int32_t readInt() {
        int32_t v = 0;
        read(&v, sizeof v);
        return v;
    }
    float readFloat() {
        float v = 0.0f;
        read(&v, sizeof v);
        return v;
    }

private:
    std::span<const uint8_t> bytes_;
    size_t position_ = 0;
    bool good_ = true;
};

bool readTable(ByteReader& in, int32_t& size, std::vector<float>& values) {
    size = in.readInt();
    if (!in.good() || size < 2 || size > DesignFilter::Style::kMaxTableSize) return false;
    values.resize(static_cast<size_t>(size) * size);
    return in.read(values.data(), values.size() * sizeof(float));
}

}  // namespace

DesignFilter::Style::Style(std::string_view fileName, float inputGain,
                           std::span<const uint8_t> bytes)
    : fileName_(fileName), inputGain_(inputGain) {
    const int n = kTableSize;
    for (int r = 0; r < n; ++r) {
        const float row = static_cast<float>(r) / static_cast<float>(n - 1);
        for (int j = 0; j < n; ++j) {
            driveTable_.set(r, j, kBuiltInDrive);
            resonanceTable_.set(r, j, std::min(row, kBuiltInMaxResonance));
        }
    }
    updateAxis();
    if (!bytes.empty()) load(bytes);
}

bool DesignFilter::Style::load(std::span<const uint8_t> bytes) {
    ByteReader in(bytes);
    char tag[4] = {};
    in.read(tag, sizeof tag);
    in.readInt();  // version: every layout so far is the same
    if (!in.good() || std::memcmp(tag, kTag, sizeof tag) != 0) return false;
    const float shape = in.readFloat();
    const float low = in.readFloat();
    const float high = in.readFloat();
    int32_t sizes[3] = {};
    std::vector<float> values[3];
    for (int t = 0; t < 3; ++t) {
        if (!readTable(in, sizes[t], values[t])) return false;
    }
    if (sizes[1] != sizes[0] || sizes[2] != sizes[0] || !(high > low)) return false;

    driveTable_.assign(sizes[0], values[0]);
    saturationTable_.assign(sizes[0], values[1]);
    resonanceTable_.assign(sizes[0], values[2]);
    clipShape = shape;
    lowOctave = low;
    highOctave = high;
    updateAxis();
    return true;
}

void DesignFilter::Style::propertyChanged(const void* property) {
    if (property == &clipShape) {
        clipTable_.setShape(clipShape);
    } else {
        updateAxis();
    }
}

void DesignFilter::Style::updateAxis() {
    axisScale_ = static_cast<float>(driveTable_.size() - 1) / (highOctave - lowOctave);
}

StateVariableFilter::Coefficients DesignFilter::Style::lookup(float frequency, float peak) const {
    const float last = static_cast<float>(driveTable_.size() - 1);
    const float column = std::clamp((frequency - lowOctave) * axisScale_, 0.0f, last);
    const float row = std::clamp(peak, 0.0f, 1.0f) * last;
    return {resonanceTable_.lookup(column, row), saturationTable_.lookup(column, row),
            std::max(driveTable_.lookup(column, row), StateVariableFilter::kMinDrive)};
}
