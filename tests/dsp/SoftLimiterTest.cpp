#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "dsp/SoftLimiter.h"

// Unity below the threshold, continuous with slope 1 at it, rising towards the ceiling and
// never past it; symmetric; infinities land on the ceiling.
TEST(SoftLimiter, ShapeIsTransparentThenBoundedAndSmooth) {
    constexpr float t = SoftLimiter::kDefaultThreshold;
    constexpr float c = SoftLimiter::kDefaultCeiling;
    for (float x : {0.0f, 0.25f, -0.5f, 0.999f, -1.0f}) EXPECT_EQ(SoftLimiter::shape(x, t, c), x);
    const float h = 1e-3f;
    EXPECT_NEAR((SoftLimiter::shape(t + h, t, c) - SoftLimiter::shape(t, t, c)) / h, 1.0f, 2e-3f);
    float previous = t;
    for (float x = 1.1f; x < 1000.0f; x *= 1.5f) {
        const float y = SoftLimiter::shape(x, t, c);
        EXPECT_GE(y, previous);
        if (x < 4.0f) {
            EXPECT_GT(y, previous);
        }
        EXPECT_LE(y, c);
        EXPECT_EQ(SoftLimiter::shape(-x, t, c), -y);
        previous = y;
    }
    EXPECT_EQ(SoftLimiter::shape(std::numeric_limits<float>::infinity(), t, c), c);
    EXPECT_EQ(SoftLimiter::shape(-std::numeric_limits<float>::infinity(), t, c), -c);
}
