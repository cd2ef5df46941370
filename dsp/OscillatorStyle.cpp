#include "dsp/OscillatorStyle.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "dsp/FourierTransform.h"

namespace {

// Harmonic counts above the plain rows grow exponentially from 21 to 999 over rows 20..127.
constexpr int kFirstGrowingCount = 21;
constexpr float kGrowthTarget = 47.61905f;   // 1000 / 21
constexpr float kGrowthSpan = 0.009345794f;  // 1 / 107
constexpr int kOversampling = 8;             // a row is shorter than this many samples per harmonic
constexpr double kRolloffScale = 10.0;

int lengthFor(int harmonics) {
    int length = Oscillator::Style::kMinRowLength;
    while (length * 2 < kOversampling * harmonics) length *= 2;
    return length;
}

double taper(int h, int count) {
    const double c = std::cos((h - 1) * std::numbers::pi / (2.0 * count));
    return c * c;
}

// Writes row[i] = sum of amplitude[m] * sin(2 pi m i / length) for i = 0..length, evaluated by
// an inverse FFT (the imaginary part of a spectrum that holds only the sine amplitudes).
void synthesizeRow(const FourierTransform& fft, std::vector<std::complex<double>>& spectrum,
                   int length, float* row) {
    fft.transform(spectrum.data(), static_cast<uint32_t>(length), true);
    row[0] = 0.0f;  // every harmonic starts in sine phase
    for (int i = 1; i < length; ++i) row[i] = static_cast<float>(spectrum[i].imag());
    row[length] = row[0];
}

}  // namespace

Oscillator::Style::Style()
    : zeroIndexTable_(new int32_t[RateTable::kSize]()),
      sawTables_(new float[kTableSize]()),
      triangleTables_(new float[kTableSize]()) {
    for (int t = 0; t < kRowCount; ++t) tableLengths_[t] = lengthFor(harmonicCount(t));
    for (int k = 0; k <= kMaxRowLength; ++k) {
        sineTable_[k] = static_cast<float>(std::sin(k * 2.0 * std::numbers::pi / kMaxRowLength));
    }
}

Oscillator::Style::~Style() = default;

int Oscillator::Style::harmonicCount(int row) {
    const int n = row + 1;
    if (n <= kPlainHarmonicRows) return n;
    const float k = logf(kGrowthTarget) * kGrowthSpan;
    return static_cast<int>(static_cast<float>(kFirstGrowingCount) *
                            expf(static_cast<float>(n - kFirstGrowingCount) * k));
}

void Oscillator::Style::computeTables() {
    std::fill_n(sawTables_.get(), kTableSize, 0.0f);
    std::fill_n(triangleTables_.get(), kTableSize, 0.0f);
    const FourierTransform fft(kMaxRowLength);
    std::vector<std::complex<double>> spectrum(kMaxRowLength);
    const double triangleDecay =
        (static_cast<double>(tones_.triangleRolloff) - 1.0) * kRolloffScale;
    for (int t = 0; t < kRowCount; ++t) {
        const int n = harmonicCount(t);
        const int length = tableLengths_[t];
        float* saw = sawTables_.get() + t * kRowStride;
        float* triangle = triangleTables_.get() + t * kRowStride;

        std::fill(spectrum.begin(), spectrum.end(), std::complex<double>());
        for (int h = 1; h <= n; ++h) spectrum[h] = taper(h, n) * tones_.sawGain / h;
        synthesizeRow(fft, spectrum, length, saw);

        const int m = std::max(1, n / 2);
        std::fill(spectrum.begin(), spectrum.end(), std::complex<double>());
        for (int h = 1; h <= m; ++h) {
            const int frequency = 2 * h - 1;
            spectrum[frequency] = taper(h, m) * tones_.triangleGain *
                                  std::exp(triangleDecay * (h - 1)) / (frequency * frequency);
        }
        synthesizeRow(fft, spectrum, length, triangle);

        for (int i = 0; i <= length; ++i) triangle[i] += tones_.triangleSawMix * saw[i];
    }
}

const Oscillator::RateTable& Oscillator::Style::rateTable(uint32_t sampleRate) {
    CriticalSectionGuard guard(lock());
    for (const auto& table : rateTables_) {
        if (table->sampleRate == sampleRate) return *table;
    }
    auto table = std::make_unique<RateTable>();
    table->sampleRate = sampleRate;
    const double rate = sampleRate;
    const float nyquist = static_cast<float>(sampleRate / 2);
    int row = kRowCount - 1;
    for (int j = 0; j < RateTable::kSize; ++j) {
        const double pitch = j * RateTable::kOctaves / RateTable::kSize + RateTable::kLowestPitch;
        const double f = std::exp(pitch * std::numbers::ln2);
        table->frequency[j] = static_cast<float>(std::min(f, static_cast<double>(nyquist)) / rate);
        const double harmonics = std::trunc(rate / (2.0 * f));
        // The row never rises with the pitch: search down from the previous entry's.
        while (row >= 1 && harmonicCount(row) > harmonics) --row;
        table->index[j] = row;
    }
    rateTables_.push_back(std::move(table));
    return *rateTables_.back();
}

size_t Oscillator::Style::rateTableCount() const {
    CriticalSectionGuard guard(lock());
    return rateTables_.size();
}
