#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

// Reads a fuzzer's bytes as a script: numbers taken from the front, zeros once the bytes run out,
// so that every input, however short, is a complete script.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : bytes_(data, size) {}

    bool empty() const { return pos_ >= bytes_.size(); }
    size_t remaining() const { return bytes_.size() - pos_; }

    uint8_t byte() { return empty() ? 0 : bytes_[pos_++]; }
    uint16_t word() {
        const uint16_t low = byte();
        return static_cast<uint16_t>(low | (byte() << 8));
    }
    // The next `count` bytes, or fewer at the end.
    std::span<const uint8_t> take(size_t count) {
        const size_t n = count < remaining() ? count : remaining();
        const std::span<const uint8_t> part = bytes_.subspan(pos_, n);
        pos_ += n;
        return part;
    }

private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

// +24 dBFS: well above anything a patch may reach, far below a runaway recursion.
inline constexpr float kFuzzPeakLimit = 15.848932f;

// Aborts (the fuzzer's finding) on a sample that is not finite or exceeds the limit.
inline void checkOutput(const float* samples, int frames) {
    for (int i = 0; i < frames; ++i) {
        if (!std::isfinite(samples[i]) || std::fabs(samples[i]) > kFuzzPeakLimit) std::abort();
    }
}
