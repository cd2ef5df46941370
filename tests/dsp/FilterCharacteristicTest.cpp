#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dsp/DesignFilter.h"
#include "dsp/MultiDesignFilter.h"
#include "tests/dsp/FilterTestRig.h"

namespace {

using filtertest::standardStyles;

template <class T = float>
T floatAt(std::span<const uint8_t> bytes, size_t offset) {
    T v;
    std::memcpy(&v, bytes.data() + offset, sizeof v);
    return v;
}

TEST(FilterCharacteristicTest, ShippedFilesHaveTheQVilLayoutAndBadDataLeavesAStyleAsItWas) {
    // In list order: Prime, Gentle, Raw, Tube, Metal, Easy Going, Smooth, Hard, Hollow, Extreme.
    const float shapes[] = {0.3f,      0.31709f,  1.0f,      1.0f,      0.1f,
                            0.543188f, 0.181958f, 0.687329f, 0.913428f, 0.128784f};
    const float gains[] = {1.0f, 0.56f, 0.35f, 0.4f, 0.8f, 0.7f, 0.35f, 0.3f, 0.35f, 0.5f};
    ASSERT_EQ(standardStyles().size(), 10u);
    for (size_t i = 0; i < standardStyles().size(); ++i) {
        const DesignFilter::Style& style = standardStyles()[i];
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
        // Drive 0.1...10, saturation 0...0.1, resonance 0...4.31, read into the tables as stored.
        const FilterSettingTable* tables[] = {&style.driveTable(), &style.saturationTable(),
                                              &style.resonanceTable()};
        const float lowest[] = {0.1f, 0.0f, 0.0f}, highest[] = {10.0f, 0.1f, 4.31f};
        for (int k = 0; k < 3 * 121; ++k) {
            const float v = floatAt(bytes, 24 + 4 * k + 4 * (k / 121));
            EXPECT_EQ(tables[k / 121]->at(k % 121 / 11, k % 11), v) << k;
            EXPECT_TRUE(v >= lowest[k / 121] && v <= highest[k / 121]) << k;
        }
    }

    // A wrong tag or short data leaves the characteristic as it was; a good file replaces
    // everything, the clip table included, whatever its version.
    DesignFilter::Style style("Gentle.fil", 0.56f, filtertest::characteristicBytes("Gentle"));
    const std::span<const uint8_t> prime = filtertest::characteristicBytes("Prime");
    std::vector<uint8_t> bytes(prime.begin(), prime.end());
    bytes[3] = 'X';
    EXPECT_FALSE(style.load(bytes));
    EXPECT_FALSE(style.load(prime.first(prime.size() - 1)));
    EXPECT_FALSE(style.load({}));
    EXPECT_EQ(style.resonanceTable().at(10, 0), standardStyles()[1].resonanceTable().at(10, 0));
    EXPECT_EQ(style.clipTable().shape(), 0.31709f);
    bytes[3] = 'l';
    bytes[4] = 7;
    EXPECT_TRUE(style.load(bytes));
    EXPECT_EQ(style.resonanceTable().at(10, 0), 3.5f);
    EXPECT_EQ(style.clipTable().shape(), 0.3f);
}

}  // namespace
