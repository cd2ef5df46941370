#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dsp/DesignFilter.h"
#include "dsp/MultiDesignFilter.h"
#include "persistence/ResourceOpener.h"
#include "tests/dsp/FilterTestRig.h"

namespace {

using filtertest::styles;

// The tables of "Quorvalis Prime" (rows: peak steps; columns: frequency steps). Rows 0 to 4 are
// flat: drive 2.5, no saturation, resonance 0.05 per step; rows 5 to 10 follow.
constexpr float kFlatResonance[5] = {0.0f, 0.05f, 0.1f, 0.15f, 0.2f};
constexpr float kPrimeDrive[6][11] = {
    {2.375f, 2.375f, 2.375f, 2.375f, 2.375f, 2.5f, 2.5f, 2.5f, 2.5f, 2.5f, 2.5f},
    {2.25f, 2.25f, 2.25f, 2.25f, 2.25f, 2.5f, 2.5f, 2.5f, 2.5f, 2.5f, 2.5f},
    {2.125f, 2.125f, 2.125f, 2.125f, 2.125f, 2.5f, 2.5f, 2.5f, 2.5f, 2.5f, 2.5f},
    {2.0f, 2.0f, 2.0f, 2.0f, 2.0f, 2.5f, 2.5f, 2.5f, 2.5f, 2.5f, 2.5f},
    {1.5f, 1.5f, 1.5f, 2.0f, 2.0f, 2.5f, 2.5f, 3.0f, 3.0f, 3.0f, 3.0f},
    {1.5f, 1.5f, 1.5f, 2.0f, 2.0f, 2.5f, 2.5f, 3.0f, 4.0f, 8.0f, 8.0f}};
constexpr float kPrimeSaturation[6][11] = {
    {0.00125f, 0.00125f, 0.00125f, 0.00125f, 0.0025f, 0.0075f, 0.01f, 0.0025f, 0.0025f, 0.0025f,
     0.0025f},
    {0.0025f, 0.0025f, 0.0025f, 0.0025f, 0.005f, 0.015f, 0.02f, 0.005f, 0.005f, 0.005f, 0.005f},
    {0.00375f, 0.00375f, 0.00375f, 0.00375f, 0.0075f, 0.0225f, 0.03f, 0.0075f, 0.0075f, 0.0075f,
     0.0075f},
    {0.005f, 0.005f, 0.005f, 0.005f, 0.01f, 0.03f, 0.04f, 0.01f, 0.01f, 0.01f, 0.01f},
    {0.002f, 0.002f, 0.002f, 0.003f, 0.01f, 0.03f, 0.04f, 0.07f, 0.1f, 0.1f, 0.1f},
    {0.001f, 0.001f, 0.001f, 0.003f, 0.01f, 0.03f, 0.04f, 0.07f, 0.1f, 0.1f, 0.1f}};
constexpr float kPrimeResonance[6][11] = {
    {0.475f, 0.475f, 0.475f, 0.475f, 0.475f, 0.35f, 0.3f, 0.3f, 0.3f, 0.3f, 0.3f},
    {0.75f, 0.75f, 0.75f, 0.75f, 0.75f, 0.5f, 0.4f, 0.4f, 0.4f, 0.4f, 0.4f},
    {1.025f, 1.025f, 1.025f, 1.025f, 1.025f, 0.65f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f},
    {1.3f, 1.3f, 1.3f, 1.3f, 1.3f, 0.8f, 0.6f, 0.6f, 0.6f, 0.6f, 0.6f},
    {3.25f, 3.25f, 3.25f, 3.25f, 2.5f, 2.1f, 1.3f, 1.1f, 0.95f, 0.95f, 0.95f},
    {3.5f, 3.5f, 3.5f, 3.5f, 3.0f, 2.5f, 1.5f, 1.2f, 1.0f, 1.0f, 1.0f}};

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
        const std::span<const uint8_t> bytes = openResource(style.fileName());
        ASSERT_EQ(bytes.size(), 1484u);
        EXPECT_EQ(std::memcmp(bytes.data(), "QVil", 4), 0);
        EXPECT_EQ(floatAt<int32_t>(bytes, 4), 1);
        EXPECT_EQ(floatAt(bytes, 8), shapes[i]);
        const bool hard = style.fileName() == "Monopoly.fil";  // "Hard"
        EXPECT_EQ(floatAt(bytes, 12), hard ? 3.06152f : 2.2666f);
        EXPECT_EQ(floatAt(bytes, 16), hard ? 15.6029f : 16.2064f);
        EXPECT_EQ(style.lowOctave.get(), floatAt(bytes, 12));
        for (const size_t n : {20, 508, 996}) EXPECT_EQ(floatAt<int32_t>(bytes, n), 11);
        for (int k = 0; k < 121; ++k) {
            const float drive = floatAt(bytes, kDriveOffset + 4 * k);
            const float saturation = floatAt(bytes, kSaturationOffset + 4 * k);
            const float resonance = floatAt(bytes, kResonanceOffset + 4 * k);
            EXPECT_TRUE(drive >= 0.1f && drive <= 10.0f) << k;
            EXPECT_TRUE(saturation >= 0.0f && saturation <= 0.1f) << k;
            EXPECT_TRUE(resonance >= 0.0f && resonance <= 4.31f) << k;
        }
    }
}

TEST(FilterCharacteristicTest, PrimeHoldsTheReferenceTables) {
    const std::span<const uint8_t> bytes = openResource("PRIME");
    const DesignFilter::Style prime("Prime.fil", 1.0f);
    EXPECT_EQ(prime.clipShape.get(), 0.3f);
    EXPECT_EQ(prime.clipTable().shape(), 0.3f);
    for (int r = 0; r < 11; ++r) {
        for (int j = 0; j < 11; ++j) {
            const size_t at = 4 * (11 * r + j);
            const float drive = r < 5 ? 2.5f : kPrimeDrive[r - 5][j];
            const float saturation = r < 5 ? 0.0f : kPrimeSaturation[r - 5][j];
            const float resonance = r < 5 ? kFlatResonance[r] : kPrimeResonance[r - 5][j];
            EXPECT_EQ(floatAt(bytes, kDriveOffset + at), drive) << r << "," << j;
            EXPECT_EQ(floatAt(bytes, kSaturationOffset + at), saturation);
            EXPECT_EQ(floatAt(bytes, kResonanceOffset + at), resonance);
            EXPECT_EQ(prime.driveTable().at(r, j), drive);
            EXPECT_EQ(prime.saturationTable().at(r, j), saturation);
            EXPECT_EQ(prime.resonanceTable().at(r, j), resonance);
        }
    }
}

TEST(FilterCharacteristicTest, LookupClampsTheAxesAndInterpolates) {
    const DesignFilter::Style prime("Prime.fil", 1.0f);
    // Below lowOctave: column 0; above highOctave: column 10.
    StateVariableFilter::Coefficients c = prime.lookup(0.0f, 1.0f);
    EXPECT_FLOAT_EQ(c.resonance, 3.5f);
    EXPECT_FLOAT_EQ(c.drive, 1.5f);
    EXPECT_FLOAT_EQ(c.saturation, 0.001f);
    c = prime.lookup(20.0f, 1.0f);
    EXPECT_FLOAT_EQ(c.resonance, 1.0f);
    EXPECT_FLOAT_EQ(c.drive, 8.0f);
    EXPECT_FLOAT_EQ(c.saturation, 0.1f);
    // Half-way between columns 8 and 9 and rows 9 and 10 (drive: 3, 3 / 4, 8).
    const float column = 8.5f;
    const float octave = 2.2666f + column * (16.2064f - 2.2666f) / 10.0f;
    c = prime.lookup(octave, 0.95f);
    EXPECT_NEAR(c.drive, 0.5f * (3.0f + 0.5f * (4.0f + 8.0f)), 1e-4);
    EXPECT_NEAR(c.resonance, 0.5f * (0.95f + 0.5f * (1.0f + 1.0f)), 1e-4);
    // A peak above 1 reads row 10.
    EXPECT_FLOAT_EQ(prime.lookup(20.0f, 3.0f).resonance, 1.0f);

    // Without a file: drive 0.1, no saturation, resonance rising with the peak up to 0.999.
    const DesignFilter::Style builtIn("", 1.0f);
    c = builtIn.lookup(9.0f, 0.5f);
    EXPECT_FLOAT_EQ(c.drive, 0.1f);
    EXPECT_FLOAT_EQ(c.saturation, 0.0f);
    EXPECT_FLOAT_EQ(c.resonance, 0.5f);
    EXPECT_FLOAT_EQ(builtIn.lookup(9.0f, 1.0f).resonance, 0.999f);
}

TEST(FilterCharacteristicTest, BadDataLeavesTheStyleAsItWas) {
    DesignFilter::Style style("Gentle.fil", 0.56f);
    const std::span<const uint8_t> gentle = openResource("Gentle");
    const std::span<const uint8_t> prime = openResource("Prime");
    const float before = style.resonanceTable().at(10, 0);

    std::vector<uint8_t> wrongTag(prime.begin(), prime.end());
    wrongTag[3] = 'X';
    EXPECT_FALSE(style.load(wrongTag));
    const std::vector<uint8_t> shortData(prime.begin(), prime.end() - 1);
    EXPECT_FALSE(style.load(shortData));
    EXPECT_FALSE(style.load(std::span<const uint8_t>(prime.data(), 600)));
    EXPECT_FALSE(style.load({}));
    EXPECT_EQ(style.resonanceTable().at(10, 0), before);
    EXPECT_EQ(style.clipShape.get(), floatAt(gentle, 8));
    EXPECT_EQ(style.clipTable().shape(), floatAt(gentle, 8));

    // A good file replaces everything, the clip table included; the version is not checked.
    std::vector<uint8_t> other(prime.begin(), prime.end());
    other[4] = 7;
    EXPECT_TRUE(style.load(other));
    EXPECT_EQ(style.resonanceTable().at(10, 0), 3.5f);
    EXPECT_EQ(style.clipTable().shape(), 0.3f);
    EXPECT_EQ(style.inputGain(), 0.56f);

    try {
        DesignFilter::Style missing("Missing.fil", 1.0f);
        FAIL() << "no exception";
    } catch (const EResource& e) {
        EXPECT_STREQ(e.what(), "Resource not found");
    }
}

}  // namespace
