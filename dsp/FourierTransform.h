#pragma once

#include <complex>
#include <cstdint>
#include <vector>

// In-place radix-2 complex FFT in double precision. One object serves every power-of-two size up
// to the size it was made for, so table generation and analysis share the twiddle factors.
class FourierTransform {
public:
    // maxSize: a power of two.
    explicit FourierTransform(uint32_t maxSize);

    uint32_t maxSize() const { return maxSize_; }

    // data[k] becomes sum over n of data[n] * exp(-+2 pi i k n / size) (minus sign forward, plus
    // sign inverse), without scaling. size: a power of two, at most maxSize.
    void transform(std::complex<double>* data, uint32_t size, bool inverse) const;

private:
    uint32_t maxSize_;
    std::vector<std::complex<double>> twiddles_;  // exp(-2 pi i k / maxSize), k < maxSize / 2
};
