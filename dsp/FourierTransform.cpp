#include "dsp/FourierTransform.h"

#include <cmath>
#include <numbers>
#include <utility>

#include "wave/Assert.h"

FourierTransform::FourierTransform(uint32_t maxSize) : maxSize_(maxSize), twiddles_(maxSize / 2) {
    VORN_ASSERT(maxSize >= 2 && (maxSize & (maxSize - 1)) == 0);
    const double step = -2.0 * std::numbers::pi / maxSize;
    for (uint32_t k = 0; k < maxSize / 2; ++k) {
        twiddles_[k] = {std::cos(step * k), std::sin(step * k)};
    }
}

void FourierTransform::transform(std::complex<double>* data, uint32_t size, bool inverse) const {
    VORN_ASSERT(size >= 1 && size <= maxSize_ && (size & (size - 1)) == 0);
    for (uint32_t i = 1, j = 0; i < size; ++i) {
        uint32_t bit = size >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j |= bit;
        if (i < j) std::swap(data[i], data[j]);
    }
    for (uint32_t span = 2; span <= size; span <<= 1) {
        const uint32_t half = span / 2;
        const uint32_t stride = maxSize_ / span;
        for (uint32_t start = 0; start < size; start += span) {
            for (uint32_t k = 0; k < half; ++k) {
                const std::complex<double> w = twiddles_[k * stride];
                const double wi = inverse ? -w.imag() : w.imag();
                const std::complex<double> d = data[start + k + half];
                // Written out: the library's complex product checks for infinities.
                const std::complex<double> t{w.real() * d.real() - wi * d.imag(),
                                             w.real() * d.imag() + wi * d.real()};
                data[start + k + half] = data[start + k] - t;
                data[start + k] += t;
            }
        }
    }
}
