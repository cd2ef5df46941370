#pragma once

#include <cstdint>

namespace wave {

// A block of samples: 16-byte aligned, its size padded up to a multiple of four, zero-filled,
// so inner loops may process four samples at a time without leaving the buffer.
class SampleBuffer {
public:
    static constexpr uint32_t kAlignment = 16;
    static constexpr uint32_t kGroup = 4;

    explicit SampleBuffer(uint32_t size);
    ~SampleBuffer();
    SampleBuffer(const SampleBuffer&) = delete;
    SampleBuffer& operator=(const SampleBuffer&) = delete;
    SampleBuffer(SampleBuffer&& other) noexcept;
    SampleBuffer& operator=(SampleBuffer&& other) noexcept;

    float* data() { return data_; }
    const float* data() const { return data_; }
    // The padded size; 0 for a buffer made with size 0 (no memory).
    uint32_t size() const { return size_; }

    static uint32_t roundUp(uint32_t frames) { return (frames + kGroup - 1) & ~(kGroup - 1); }

private:
    float* data_ = nullptr;
    uint32_t size_ = 0;
};

}  // namespace wave
