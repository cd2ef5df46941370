#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/ParameterFormat.h"

namespace {

TEST(ParameterFormatTest, SignificantDigitsDropDecimalsAsTheIntegerPartGrows) {
    // Whether the value arrives as a double or as the float a parameter holds, it is rounded as
    // the decimal it stands for, halves away from zero.
    for (const bool asFloat : {false, true}) {
        auto f = [asFloat](double v) {
            return formatNumber(asFloat ? static_cast<float>(v) : v, "*3f");
        };
        EXPECT_EQ(f(1.2345), "1.235");
        EXPECT_EQ(f(12.345), "12.35");
        EXPECT_EQ(f(123.45), "123.5");
        EXPECT_EQ(f(1234.5), "1235");
        EXPECT_EQ(f(12345.6), "12346");
        EXPECT_EQ(f(-1.2345), "-1.235");
        EXPECT_EQ(f(0.5), "0.500");
        // Rounding carries into the next digit: 9.9996 already counts as two integer digits.
        EXPECT_EQ(f(9.9996), "10.00");
        EXPECT_EQ(f(9.9994), "9.999");
        EXPECT_EQ(f(99.996), "100.0");
        EXPECT_EQ(f(-0.0001), "0.000");
    }
    EXPECT_EQ(formatNumber(1.5, "*+2f"), "+1.50");
    EXPECT_EQ(formatNumber(-25.0, "*+2f"), "-25.0");
}

TEST(ParameterFormatTest, PlainFormatsInfinitiesAndMinusZero) {
    EXPECT_EQ(formatNumber(0.5, "%.3f"), "0.500");
    EXPECT_EQ(formatNumber(std::numeric_limits<double>::infinity(), "%.3f"), "INF");
    EXPECT_EQ(formatNumber(-std::numeric_limits<double>::infinity(), "%.3f"), "-INF");
    EXPECT_EQ(formatNumber(-0.0, "%.3f"), "0.000");
    EXPECT_EQ(formatNumber(-0.0004, "%.3f"), "0.000");
    EXPECT_EQ(formatNumber(-0.0006, "%.3f"), "-0.001");
    EXPECT_EQ(formatNumber(-0.001, "%+.2f"), "0.00");
    EXPECT_EQ(formatNumber(0.001, "%+.2f"), "+0.00");
    EXPECT_EQ(formatNumber(-2.0, "%.0f"), "-2");
}

TEST(ParameterFormatTest, FrequencyKeepsAboutFiveDigits) {
    EXPECT_EQ(formatFrequency(20000.0f), "20000");
    EXPECT_EQ(formatFrequency(9999.96f), "10000");
    EXPECT_EQ(formatFrequency(9999.94f), "9999.9");
    EXPECT_EQ(formatFrequency(1000.0f), "1000.0");
    EXPECT_EQ(formatFrequency(999.996f), "1000.0");
    EXPECT_EQ(formatFrequency(999.99f), "999.99");
    EXPECT_EQ(formatFrequency(100.0f), "100.00");
    EXPECT_EQ(formatFrequency(99.9996f), "100.00");
    EXPECT_EQ(formatFrequency(99.999f), "99.999");
    EXPECT_EQ(formatFrequency(4.81f), "4.810");
}

TEST(ParameterFormatTest, DecibelsShowSignZeroAndSilence) {
    EXPECT_EQ(formatDecibels(0.0f), "0.00");
    EXPECT_EQ(formatDecibels(1.0e-7f), "0.00");
    EXPECT_EQ(formatDecibels(-1.0e-7f), "0.00");
    EXPECT_EQ(formatDecibels(6.0206f), "+6.02");
    EXPECT_EQ(formatDecibels(-6.0f), "-6.00");
    EXPECT_EQ(formatDecibels(-179.8f), "-179.80");
    EXPECT_EQ(formatDecibels(-179.9f), "-INF");
    EXPECT_EQ(formatDecibels(-180.0f), "-INF");
}

TEST(ParameterFormatTest, RatioToDecibelsIsFlooredAtMinus180) {
    EXPECT_NEAR(ratioToDecibels(2.0f), 6.0206f, 1e-4f);
    EXPECT_NEAR(ratioToDecibels(0.001f), -60.0f, 1e-4f);
    EXPECT_FLOAT_EQ(ratioToDecibels(1.0f), 0.0f);
    EXPECT_FLOAT_EQ(ratioToDecibels(1.0e-10f), -180.0f);
    EXPECT_FLOAT_EQ(ratioToDecibels(1.0e-12f), -180.0f);
    EXPECT_FLOAT_EQ(ratioToDecibels(0.0f), -180.0f);
    EXPECT_FLOAT_EQ(ratioToDecibels(-1.0f), -180.0f);
    for (float db : {-60.0f, -6.0f, 0.0f, 6.0f, 24.0f}) {
        EXPECT_NEAR(ratioToDecibels(decibelsToRatio(db)), db, 1e-4f);
    }
}

}  // namespace
