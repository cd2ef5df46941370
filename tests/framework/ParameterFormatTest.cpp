#include <gtest/gtest.h>

#include <limits>
#include <tuple>
#include <utility>

#include "framework/ParameterFormat.h"

namespace {

TEST(ParameterFormatTest, SignificantDigitsDropDecimalsAsTheIntegerPartGrows) {
    // Whether the value arrives as a double or as the float a parameter holds, it is rounded as
    // the decimal it stands for, halves away from zero. Rounding carries into the next digit:
    // 9.9996 already counts as two integer digits.
    const std::pair<double, const char*> cases[] = {
        {1.2345, "1.235"},  {12.345, "12.35"},   {123.45, "123.5"}, {1234.5, "1235"},
        {12345.6, "12346"}, {-1.2345, "-1.235"}, {0.5, "0.500"},    {9.9996, "10.00"},
        {9.9994, "9.999"},  {99.996, "100.0"},   {-0.0001, "0.000"}};
    for (auto [value, text] : cases) {
        EXPECT_EQ(formatNumber(value, "*3f"), text) << value;
        EXPECT_EQ(formatNumber(static_cast<float>(value), "*3f"), text) << value;
    }
    EXPECT_EQ(formatNumber(1.5, "*+2f"), "+1.50");
    EXPECT_EQ(formatNumber(-25.0, "*+2f"), "-25.0");
}

TEST(ParameterFormatTest, PlainFormatsInfinitiesAndMinusZero) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const std::tuple<double, const char*, const char*> cases[] = {
        {inf, "%.3f", "INF"},       {-inf, "%.3f", "-INF"},      {-0.0, "%.3f", "0.000"},
        {-0.0004, "%.3f", "0.000"}, {-0.0006, "%.3f", "-0.001"}, {-0.001, "%+.2f", "0.00"},
        {0.001, "%+.2f", "+0.00"},  {-2.0, "%.0f", "-2"}};
    for (auto [value, format, text] : cases) EXPECT_EQ(formatNumber(value, format), text) << value;
}

TEST(ParameterFormatTest, FrequenciesDecibelsAndRatiosFlooredAtMinus180) {
    // About five digits.
    const std::pair<float, const char*> frequencies[] = {
        {20000.0f, "20000"},  {9999.96f, "10000"}, {9999.94f, "9999.9"}, {1000.0f, "1000.0"},
        {999.996f, "1000.0"}, {999.99f, "999.99"}, {100.0f, "100.00"},   {99.9996f, "100.00"},
        {99.999f, "99.999"},  {4.81f, "4.810"}};
    for (auto [hz, text] : frequencies) EXPECT_EQ(formatFrequency(hz), text) << hz;

    const std::pair<float, const char*> decibels[] = {
        {0.0f, "0.00"},   {1.0e-7f, "0.00"},    {-1.0e-7f, "0.00"}, {6.0206f, "+6.02"},
        {-6.0f, "-6.00"}, {-179.8f, "-179.80"}, {-179.9f, "-INF"},  {-180.0f, "-INF"}};
    for (auto [db, text] : decibels) EXPECT_EQ(formatDecibels(db), text) << db;

    // Ratios are floored at -180 dB, which shows as "-INF".
    EXPECT_NEAR(ratioToDecibels(2.0f), 6.0206f, 1e-4f);
    for (float ratio : {1.0e-10f, 1.0e-12f, 0.0f, -1.0f}) {
        EXPECT_FLOAT_EQ(ratioToDecibels(ratio), -180.0f) << ratio;
    }
    for (float db : {-60.0f, -6.0f, 0.0f, 6.0f, 24.0f}) {
        EXPECT_NEAR(ratioToDecibels(decibelsToRatio(db)), db, 1e-4f);
    }
}

}  // namespace
