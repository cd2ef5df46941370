#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>
#include <thread>
#include <vector>

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

// A row as the recipe sums it (cos^2-tapered harmonics; the triangle's odd ones with its gain and
// rolloff), in double precision with exact sines.
std::vector<double> exactRow(const Style& style, int row, bool saw) {
    const int n = Style::harmonicCount(row);
    const int length = style.tableLengths()[row];
    const Style::Tones& tones = style.tones();
    const int count = saw ? n : std::max(1, n / 2);
    std::vector<double> out(static_cast<size_t>(length) + 1, 0.0);
    for (int h = 1; h <= count; ++h) {
        const int m = saw ? h : 2 * h - 1;
        const double taper = std::pow(std::cos((h - 1) * std::numbers::pi / (2.0 * count)), 2);
        const double amplitude =
            saw ? taper * tones.sawGain / h
                : taper * tones.triangleGain *
                      std::exp((tones.triangleRolloff - 1.0) * 10.0 * (h - 1)) / (m * m);
        for (int i = 0; i <= length; ++i) {
            out[static_cast<size_t>(i)] +=
                amplitude * std::sin(2.0 * std::numbers::pi *
                                     static_cast<double>((int64_t{i} * m) % length) / length);
        }
    }
    return out;
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
        if (t > 0) ASSERT_GE(Style::harmonicCount(t), Style::harmonicCount(t - 1));
    }
    EXPECT_EQ(style.sineTable()[1024], 1.0f);
    EXPECT_FLOAT_EQ(style.sineTable()[512], std::sqrt(0.5f));
}

TEST(OscillatorStyleTest, TablesFollowTheRecipe) {
    const Style& style = synthesizerStyle();
    const float mix = style.tones().triangleSawMix;
    for (const int t : {0, 7, 15, 16, 20, 21, 59, 90, 108, 127}) {
        const int length = style.tableLengths()[t];
        const float* saw = style.sawTables() + t * Style::kRowStride;
        const float* triangle = style.triangleTables() + t * Style::kRowStride;
        // The sawtooth is the exact sum rounded to float; the triangle (plus the saw mix) may
        // stray by a float accumulation of up to 500 terms from the 4097-entry sine table.
        const std::vector<double> exactSaw = exactRow(style, t, true);
        const std::vector<double> exactTriangle = exactRow(style, t, false);
        for (int i = 0; i <= length; ++i) {
            ASSERT_NEAR(saw[i], exactSaw[i], 6e-8) << "row " << t << " sample " << i;
            ASSERT_NEAR(triangle[i], exactTriangle[i] + mix * exactSaw[i], 4e-6) << t << " " << i;
        }
        EXPECT_EQ(saw[length], saw[0]);
        EXPECT_EQ(triangle[length], triangle[0]);
        for (int i = length + 1; i < Style::kRowStride; ++i) {
            ASSERT_EQ(saw[i], 0.0f);
            ASSERT_EQ(triangle[i], 0.0f);
        }
    }
}

TEST(OscillatorStyleTest, RateTableKeepsHarmonicsBelowHalfTheRate) {
    Style style;
    const Oscillator::RateTable& table = style.rateTable(44100);
    // Pitch 8.0 at 44.1 kHz: position 7372.8, about 256 Hz, 86 harmonics fit, row 59 (85).
    EXPECT_EQ(table.index[7372], 59);
    EXPECT_EQ(style.tableLengths()[59], 512);
    EXPECT_NEAR(table.frequency[7372] * 44100.0, 255.65, 0.01);

    for (const uint32_t rate : {44100u, 48000u, 96000u, 192000u, 44101u}) {
        const Oscillator::RateTable& t = style.rateTable(rate);
        EXPECT_EQ(t.sampleRate, rate);
        const double half = static_cast<double>(rate / 2);
        for (int j = 0; j < Oscillator::RateTable::kSize; ++j) {
            const double f = std::exp2(j * 40.0 / 16384 - 10.0);
            const int row = t.index[j];
            ASSERT_NEAR(t.frequency[j], std::min(f, half) / rate,
                        1e-7 * std::min(f, half) / rate + 1e-12);
            if (j > 0) ASSERT_LE(row, t.index[j - 1]);
            const double fit = std::trunc(rate / (2.0 * f));
            if (row > 0) ASSERT_LE(Style::harmonicCount(row), fit) << j;
            if (row < Style::kRowCount - 1) ASSERT_GT(Style::harmonicCount(row + 1), fit) << j;
        }
        // Above half the rate: one harmonic, read at half the rate.
        EXPECT_EQ(t.index[Oscillator::RateTable::kSize - 1], 0);
        EXPECT_FLOAT_EQ(t.frequency[Oscillator::RateTable::kSize - 1],
                        static_cast<float>(half / rate));
        EXPECT_EQ(t.index[0], 127);
    }
}

TEST(OscillatorStyleTest, RateTablesAreMadeOncePerRateUnderRacingThreads) {
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
    EXPECT_EQ(&style.rateTable(48000), &style.rateTable(48000));
    EXPECT_EQ(style.rateTableCount(), 4u);
}

}  // namespace
