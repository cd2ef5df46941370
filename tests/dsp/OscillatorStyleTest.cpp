#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <set>
#include <thread>
#include <vector>

#include "dsp/FourierTransform.h"
#include "dsp/OscillatorStyle.h"

namespace {

using Style = Oscillator::Style;

const Style& synthesizerStyle() {
    static Style* style = [] {
        auto* s = new Style();
        s->setTones(Style::kSynthesizerTones);
        s->computeTables();
        return s;
    }();
    return *style;
}

TEST(OscillatorStyleTest, HarmonicCountsAndRowLengths) {
    // Rows 0 to 19 count 1 to 20 harmonics, then the curve from 21 to 999.
    const std::pair<int, int> counts[] = {{0, 1},   {19, 20}, {20, 21},  {21, 21},
                                          {22, 22}, {59, 85}, {127, 999}};
    for (const auto& [row, count] : counts) EXPECT_EQ(Style::harmonicCount(row), count) << row;
    // Rows 0-15 have 64 samples, 16-32 128, ... 109-127 4096.
    const Style style;
    const int lastRows[] = {15, 32, 51, 70, 89, 108, 127};
    for (int t = 0, band = 0; t < Style::kRowCount; band += t == lastRows[band], ++t) {
        ASSERT_EQ(style.tableLengths()[t], 64 << band) << "row " << t;
        ASSERT_TRUE(t == 0 || Style::harmonicCount(t) >= Style::harmonicCount(t - 1)) << t;
    }
}

// The rows' spectra, in sine phase: the sawtooth's harmonic m has sawGain w / m, the triangle's
// odd harmonic 2h - 1 has triangleGain w exp((rolloff - 1) 10 (h - 1)) / (2h - 1)^2 plus 2 % of
// the sawtooth, with w = cos^2((h - 1) pi / 2M) over the row's M harmonics. Beyond L the rows
// hold zeros; sample L repeats sample 0.
TEST(OscillatorStyleTest, RowSpectraFollowTheRecipe) {
    const Style& style = synthesizerStyle();
    const Style::Tones& tones = style.tones();
    const auto taper = [](int h, int count) {
        return std::pow(std::cos((h - 1) * std::numbers::pi / (2.0 * count)), 2);
    };
    const FourierTransform fft(4096);
    for (const int t : {0, 7, 15, 16, 20, 21, 59, 108, 127}) {
        const int length = style.tableLengths()[t], n = Style::harmonicCount(t);
        const float* saw = style.sawTables() + t * Style::kRowStride;
        const float* triangle = style.triangleTables() + t * Style::kRowStride;
        std::vector<std::complex<double>> s(saw, saw + length), r(triangle, triangle + length);
        fft.transform(s.data(), length, false);
        fft.transform(r.data(), length, false);
        for (int m = 0; m < length / 2; ++m) {
            const int h = (m + 1) / 2, odd = std::max(1, n / 2);
            const double sawtooth = m > 0 && m <= n ? tones.sawGain * taper(m, n) / m : 0.0;
            const double rolloff = std::exp((tones.triangleRolloff - 1.0) * 10.0 * (h - 1));
            const double tri =
                m % 2 && h <= odd ? tones.triangleGain * taper(h, odd) * rolloff / (m * m) : 0.0;
            ASSERT_NEAR(std::abs(s[m] - std::complex<double>(0, -sawtooth * length / 2)) / length,
                        0.0, 1e-7)
                << t << " " << m;
            const std::complex<double> expected(0, -(tri + tones.triangleSawMix * sawtooth));
            ASSERT_NEAR(std::abs(r[m] - expected * (length / 2.0)) / length, 0.0, 1e-6) << m;
        }
        for (const float* row : {saw, triangle}) {
            EXPECT_EQ(row[length], row[0]);
            EXPECT_TRUE(std::all_of(row + length + 1, row + Style::kRowStride,
                                    [](float v) { return v == 0; }));
        }
    }
}

TEST(OscillatorStyleTest, RateTablesAreMadeOncePerRateAndKeepHarmonicsBelowHalfTheRate) {
    Style style;
    const uint32_t rates[] = {44100, 48000, 96000, 192000};
    constexpr int kThreads = 8;
    std::vector<std::vector<const Oscillator::RateTable*>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int k = 0; k < kThreads; ++k) {
        threads.emplace_back([&, k] {
            for (int round = 0; round < 4; ++round) {
                for (int r = 0; r < 4; ++r) seen[k].push_back(&style.rateTable(rates[(r + k) % 4]));
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(style.rateTableCount(), 4u);
    std::set<const Oscillator::RateTable*> distinct;
    for (const auto& list : seen) distinct.insert(list.begin(), list.end());
    EXPECT_EQ(distinct.size(), 4u);
    for (const uint32_t rate : rates) EXPECT_EQ(style.rateTable(rate).sampleRate, rate);

    // Every position's row holds the most harmonics that fit below half the rate.
    for (const uint32_t rate : {44100u, 48000u, 96000u, 192000u, 44101u}) {
        const Oscillator::RateTable& t = style.rateTable(rate);
        const double half = static_cast<double>(rate / 2);
        for (int j = 0; j < Oscillator::RateTable::kSize; ++j) {
            const double f = std::exp2(j * 40.0 / 16384 - 10.0);
            const int row = t.index[j];
            ASSERT_NEAR(t.frequency[j], std::min(f, half) / rate,
                        1e-7 * std::min(f, half) / rate + 1e-12);
            ASSERT_TRUE(j == 0 || row <= t.index[j - 1]) << j;
            const double fit = std::trunc(rate / (2.0 * f));
            ASSERT_TRUE(row == 0 || Style::harmonicCount(row) <= fit) << j;
            ASSERT_TRUE(row == Style::kRowCount - 1 || Style::harmonicCount(row + 1) > fit) << j;
        }
        // Above half the rate: one harmonic, read at half the rate.
        EXPECT_EQ(t.index[Oscillator::RateTable::kSize - 1], 0);
        EXPECT_FLOAT_EQ(t.frequency[Oscillator::RateTable::kSize - 1],
                        static_cast<float>(half / rate));
        EXPECT_EQ(t.index[0], 127);
    }
}

}  // namespace
