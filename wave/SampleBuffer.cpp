#include "wave/SampleBuffer.h"

#include <cstring>
#include <new>
#include <utility>

namespace wave {

SampleBuffer::SampleBuffer(uint32_t size) : size_(roundUp(size)) {
    if (size_ == 0) return;
    data_ =
        static_cast<float*>(::operator new(size_ * sizeof(float), std::align_val_t(kAlignment)));
    std::memset(data_, 0, size_ * sizeof(float));
}

SampleBuffer::~SampleBuffer() {
    if (data_) ::operator delete(data_, std::align_val_t(kAlignment));
}

SampleBuffer::SampleBuffer(SampleBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

SampleBuffer& SampleBuffer::operator=(SampleBuffer&& other) noexcept {
    if (this != &other) {
        if (data_) ::operator delete(data_, std::align_val_t(kAlignment));
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

}  // namespace wave
