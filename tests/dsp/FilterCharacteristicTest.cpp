#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "dsp/DesignFilter.h"
#include "dsp/MultiDesignFilter.h"
#include "tests/dsp/FilterTestRig.h"

namespace {

using filtertest::styles;

// Rows 5 to 10 of the drive, saturation and resonance tables of "Quorvalis Prime" (rows: peak
// steps; columns: frequency steps); rows 0 to 4 are flat: drive 2.5, no saturation, resonance
// 0.05 per step.
constexpr const char* kPrimeRows = R"(
2.375 2.375 2.375 2.375 2.375 2.5 2.5 2.5 2.5 2.5 2.5
2.25 2.25 2.25 2.25 2.25 2.5 2.5 2.5 2.5 2.5 2.5
2.125 2.125 2.125 2.125 2.125 2.5 2.5 2.5 2.5 2.5 2.5
2 2 2 2 2 2.5 2.5 2.5 2.5 2.5 2.5
1.5 1.5 1.5 2 2 2.5 2.5 3 3 3 3
1.5 1.5 1.5 2 2 2.5 2.5 3 4 8 8
0.00125 0.00125 0.00125 0.00125 0.0025 0.0075 0.01 0.0025 0.0025 0.0025 0.0025
0.0025 0.0025 0.0025 0.0025 0.005 0.015 0.02 0.005 0.005 0.005 0.005
0.00375 0.00375 0.00375 0.00375 0.0075 0.0225 0.03 0.0075 0.0075 0.0075 0.0075
0.005 0.005 0.005 0.005 0.01 0.03 0.04 0.01 0.01 0.01 0.01
0.002 0.002 0.002 0.003 0.01 0.03 0.04 0.07 0.1 0.1 0.1
0.001 0.001 0.001 0.003 0.01 0.03 0.04 0.07 0.1 0.1 0.1
0.475 0.475 0.475 0.475 0.475 0.35 0.3 0.3 0.3 0.3 0.3
0.75 0.75 0.75 0.75 0.75 0.5 0.4 0.4 0.4 0.4 0.4
1.025 1.025 1.025 1.025 1.025 0.65 0.5 0.5 0.5 0.5 0.5
1.3 1.3 1.3 1.3 1.3 0.8 0.6 0.6 0.6 0.6 0.6
3.25 3.25 3.25 3.25 2.5 2.1 1.3 1.1 0.95 0.95 0.95
3.5 3.5 3.5 3.5 3 2.5 1.5 1.2 1 1 1
)";

template <class T = float>
T floatAt(std::span<const uint8_t> bytes, size_t offset) {
    T v;
    std::memcpy(&v, bytes.data() + offset, sizeof v);
    return v;
}

constexpr size_t kDriveOffset = 24;
constexpr size_t kSaturationOffset = 512;
constexpr size_t kResonanceOffset = 1000;

TEST(FilterCharacteristicTest, ShippedFilesHaveTheQVilLayoutHeaderValuesAndGains) {
    // In list order: Prime, Gentle, Raw, Tube, Metal, Easy Going, Smooth, Hard, Hollow, Extreme.
    const float shapes[] = {0.3f,      0.31709f,  1.0f,      1.0f,      0.1f,
                            0.543188f, 0.181958f, 0.687329f, 0.913428f, 0.128784f};
    const float gains[] = {1.0f, 0.56f, 0.35f, 0.4f, 0.8f, 0.7f, 0.35f, 0.3f, 0.35f, 0.5f};
    ASSERT_EQ(styles().size(), 10u);
    for (size_t i = 0; i < styles().size(); ++i) {
        const DesignFilter::Style& style = styles()[i];
        SCOPED_TRACE(style.fileName());
        EXPECT_EQ(style.inputGain(), gains[i]);
        const std::span<const uint8_t> bytes = filtertest::characteristicBytes(style.fileName());
        ASSERT_EQ(bytes.size(), 1484u);
        EXPECT_EQ(std::memcmp(bytes.data(), "QVil", 4), 0);
        EXPECT_EQ(floatAt<int32_t>(bytes, 4), 1);
        EXPECT_EQ(floatAt(bytes, 8), shapes[i]);
        const bool hard = style.fileName() == "Monopoly.fil";  // "Hard"
        EXPECT_EQ(floatAt(bytes, 12), hard ? 3.06152f : 2.2666f);
        EXPECT_EQ(floatAt(bytes, 16), hard ? 15.6029f : 16.2064f);
        EXPECT_EQ(style.lowOctave.get(), floatAt(bytes, 12));
        for (const size_t n : {20, 508, 996}) EXPECT_EQ(floatAt<int32_t>(bytes, n), 11);
        // Drive 0.1...10, saturation 0...0.1, resonance 0...4.31.
        for (int k = 0; k < 3 * 121; ++k) {
            const float v = floatAt(bytes, 24 + 4 * k + 4 * (k / 121));
            EXPECT_TRUE(v >= (k < 121 ? 0.1f : 0.0f) && v <= (k < 121   ? 10.0f
                                                              : k < 242 ? 0.1f
                                                                        : 4.31f))
                << k;
        }
    }
}

TEST(FilterCharacteristicTest, PrimeHoldsTheReferenceTables) {
    const std::span<const uint8_t> bytes = filtertest::characteristicBytes("PRIME");
    const DesignFilter::Style& prime = styles()[0];
    EXPECT_EQ(prime.clipTable().shape(), 0.3f);
    std::istringstream rows(kPrimeRows);
    const size_t offsets[] = {kDriveOffset, kSaturationOffset, kResonanceOffset};
    const FilterSettingTable* tables[] = {&prime.driveTable(), &prime.saturationTable(),
                                          &prime.resonanceTable()};
    for (int t = 0; t < 3; ++t) {
        for (int r = 0; r < 11; ++r) {
            for (int j = 0; j < 11; ++j) {
                float expected = t == 0 ? 2.5f : t == 1 ? 0.0f : 0.05f * r;
                ASSERT_TRUE(r < 5 || (rows >> expected));
                EXPECT_FLOAT_EQ(floatAt(bytes, offsets[t] + 4 * (11 * r + j)), expected)
                    << t << ": " << r << ", " << j;
                EXPECT_EQ(tables[t]->at(r, j), floatAt(bytes, offsets[t] + 4 * (11 * r + j)));
            }
        }
    }
}

// A wrong tag or short data leaves the characteristic as it was; a good file replaces
// everything, the clip table included, whatever its version.
TEST(FilterCharacteristicTest, BadDataLeavesTheStyleAsItWas) {
    DesignFilter::Style style("Gentle.fil", 0.56f, filtertest::characteristicBytes("Gentle"));
    const std::span<const uint8_t> prime = filtertest::characteristicBytes("Prime");
    std::vector<uint8_t> bytes(prime.begin(), prime.end());
    bytes[3] = 'X';
    EXPECT_FALSE(style.load(bytes));
    EXPECT_FALSE(style.load(prime.first(prime.size() - 1)));
    EXPECT_FALSE(style.load({}));
    EXPECT_EQ(style.resonanceTable().at(10, 0), styles()[1].resonanceTable().at(10, 0));
    EXPECT_EQ(style.clipTable().shape(), 0.31709f);
    bytes[3] = 'l';
    bytes[4] = 7;
    EXPECT_TRUE(style.load(bytes));
    EXPECT_EQ(style.resonanceTable().at(10, 0), 3.5f);
    EXPECT_EQ(style.clipTable().shape(), 0.3f);
}

}  // namespace
