#include <gtest/gtest.h>

#include "dsp/CurveSet.h"
#include "dsp/Spline.h"

namespace {

TEST(SplineTest, FollowsTheBezierCurveAndItsEndTangents) {
    const Spline rising(0.0, 0.2, 0.0, 0.4, 0.75, 1.0);
    // At t = 1/2 the curve passes (0.35, 0.40625): 1/8 P0 + 3/8 P1 + 3/8 P2 + 1/8 P3.
    EXPECT_NEAR(rising.evaluate(0.35), 0.40625, Spline::kTolerance);
    EXPECT_NEAR(rising.evaluate(0.0), 0.0, Spline::kTolerance);
    EXPECT_NEAR(rising.evaluate(1.0), 1.0, Spline::kTolerance);
    // Outside the curve: the start tangent is flat, the end tangent rises 0.25 per 0.6.
    EXPECT_DOUBLE_EQ(rising.evaluate(-1.0), 0.0);
    EXPECT_NEAR(rising.evaluate(2.0), 1.0 + 0.25 / 0.6, 1e-12);

    const Spline falling(1.0, 0.19, 0.55, 0.42, 0.0, 0.0);
    EXPECT_NEAR(falling.evaluate(-0.5), 1.0 + 0.5 * 0.45 / 0.19, 1e-12);
    EXPECT_DOUBLE_EQ(falling.evaluate(3.0), 0.0);

    // A control point straight above an end leaves no tangent: the end value holds.
    const Spline steep(0.0, 0.0, 0.5, 1.0, 0.5, 1.0);
    EXPECT_DOUBLE_EQ(steep.evaluate(-2.0), 0.0);
    EXPECT_DOUBLE_EQ(steep.evaluate(5.0), 1.0);

    // Every point the bisection finds lies on the curve within the tolerance.
    for (int i = 1; i < 100; ++i) {
        const double t = i / 100.0;
        EXPECT_NEAR(falling.evaluate(falling.xAt(t)), falling.yAt(t), 2 * Spline::kTolerance);
    }
}

// The envelope's attack, decay and release are measured against the splines; the rise to a
// raised sustain follows the rising one too, and no table turns back.
TEST(SplineTest, CurveSetTablesFollowTheSplinesMonotonically) {
    const CurveSet shaped;
    const Spline rising(0.0, 0.2, 0.0, 0.4, 0.75, 1.0);
    for (int i = 0; i <= 20; ++i) {
        EXPECT_NEAR(shaped.rise()(i / 20.0f), rising.evaluate(i / 20.0), Spline::kTolerance) << i;
    }
    const float* up = shaped.attack().data();
    const float* down = shaped.release().data();
    for (uint32_t i = 1; i < CurveSet::kTableCount; ++i) {
        ASSERT_GE(up[i], up[i - 1] - 1e-6f) << i;
        ASSERT_LE(down[i], down[i - 1] + 1e-6f) << i;
    }
}

}  // namespace
