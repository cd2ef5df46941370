#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "dsp/FilterFunctions.h"
#include "dsp/FunctionTable.h"

namespace {

struct Square : FunctionTableFunction {
    double evaluate(double x) const override { return x * x; }
};

TEST(FunctionTableTest, SizeBoundsInterpolationAndTheFilterTables) {
    const Square f;
    EXPECT_EQ(FunctionTable(f, 0.0f, 1.0f, 1).size(), 2u);
    EXPECT_EQ(FunctionTable(f, 0.0f, 1.0f, 3).size(), 4u);
    const FunctionTable t(f, -3.0f, 5.0f, 4906);
    ASSERT_EQ(t.size(), 8192u);
    EXPECT_FLOAT_EQ(t.data()[0], 9.0f);
    EXPECT_FLOAT_EQ(t.data()[8191], 25.0f);
    EXPECT_FLOAT_EQ(t.data()[8192], 25.0f);
    // Grid points, the upper bound itself and values between interpolate linearly.
    EXPECT_NEAR(t(-3.0f), 9.0f, 1e-4);
    EXPECT_NEAR(t(5.0f), 25.0f, 1e-4);
    const float step = 8.0f / 8191.0f;
    EXPECT_NEAR(t(-3.0f + 100.5f * step), 0.5f * (t.data()[100] + t.data()[101]), 1e-4);
    // Outside the domain the position wraps through the mask instead of reading out of bounds.
    EXPECT_TRUE(std::isfinite(t(50.0f)) && std::isfinite(t(-50.0f)));

    // The shared filter tables follow their functions over their domains.
    const FilterTables& tables = FilterTables::shared();
    const ClipFunction clip(1.0);
    const DampLimitFunction dampLimit;
    const DampFunction damp;
    const FreqFunction freq;
    for (int i = 0; i <= 1000; ++i) {
        const double a = i / 1000.0;
        const double x = -40.0 + 80.0 * a;
        EXPECT_NEAR(tables.defaultClip(static_cast<float>(x)), clip.evaluate(x), 1e-4) << x;
        // The limit has a corner and a steep 2/F near F = 0.01 to 0.1: compared loosely there.
        const double near = a > 0.1 ? 1e-3 : 2.0;
        EXPECT_NEAR(tables.dampLimit(float(a)), dampLimit.evaluate(a), near) << a;
        const double r = 0.05 + 4.95 * a;  // r^(1/4) is steep only right at 0
        EXPECT_NEAR(tables.damp(static_cast<float>(r)), damp.evaluate(r), 1e-4) << r;
        const double octaves = -30.0 + 50.0 * a;
        EXPECT_NEAR(tables.frequency(float(octaves)), freq.evaluate(octaves), 1e-4) << octaves;
    }
    // Three updates per sample: F = 2 sin(pi/3 * cutoff/rate), held at 0.95 from 0.4726 on.
    EXPECT_NEAR(freq.evaluate(std::log2(0.47)), 2.0 * std::sin(0.47 * std::numbers::pi / 3.0),
                1e-12);
    EXPECT_DOUBLE_EQ(freq.evaluate(std::log2(0.4727)), 0.95);
    EXPECT_DOUBLE_EQ(dampLimit.evaluate(0.005), 2.0);
    EXPECT_NEAR(dampLimit.evaluate(0.95), 2.0 / 0.95 - 0.95, 1e-12);
    EXPECT_DOUBLE_EQ(damp.evaluate(16.0), -2.0);  // resonance above 1 undamps
    // Only the positive half depends on the shape.
    EXPECT_NEAR(ClipFunction(0.3).evaluate(10.0), std::atan(3.0) / 0.3, 1e-12);
    EXPECT_NEAR(ClipFunction(0.3).evaluate(-10.0), std::atan(-10.0), 1e-12);
}

}  // namespace
