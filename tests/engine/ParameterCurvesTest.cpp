#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "engine/ParameterCurves.h"

namespace {

// Every breakpoint (pairs of p and value) hits its value and the inverse leads back to it; in
// [lo, hi] the inverse undoes the curve, outside the curve holds its end values.
void checkCurve(const char* name, float (*forward)(float), float (*inverse)(float), float lo,
                float hi, std::initializer_list<float> breakpoints) {
    for (const float* b = breakpoints.begin(); b != breakpoints.end(); b += 2) {
        EXPECT_NEAR(forward(b[0]), b[1], 1e-6f) << name << " at " << b[0];
        EXPECT_NEAR(inverse(b[1]), std::clamp(b[0], lo, hi), 1e-5f) << name << " of " << b[1];
    }
    for (int i = 0; i <= 200; ++i) {
        const float p = lo + (hi - lo) * static_cast<float>(i) / 200.0f;
        EXPECT_NEAR(inverse(forward(p)), p, 2e-5f) << name << " at " << p;
    }
}

// The display transforms of "Output Volume" and "Stereo" are checked through their texts.
TEST(ParameterCurvesTest, BreakpointsInversesAndClamps) {
    checkCurve("detune", detuneCurve, detuneCurveInverse, -1.0f, 1.0f,
               {-3.0f, -1.0f, -0.4f, -0.0833333f, -0.2f, -0.0166667f, 0.0f, 0.0f, 0.2f, 0.0166667f,
                0.4f, 0.0833333f, 2.0f, 1.0f});
    checkCurve("time", timeCurve, timeCurveInverse, -1.0f, 1.0f,
               {-0.7f, -0.36f, -0.25f, -0.05f, 0.0f, 0.0f, 0.1f, 0.002f, 0.25f, 0.05f, 0.5f, 0.16f,
                0.7f, 0.36f, 0.9f, 0.91f, 1.0f, 1.0f});
    checkCurve("feedback", feedbackCurve, feedbackCurveInverse, 0.0f, 1.0f,
               {-0.5f, 0.0f, 0.1f, 0.04f, 0.3f, 0.15f, 0.4f, 0.32f, 0.8f, 1.0f, 1.5f, 2.0f});
    // The XLFO default 0.25 runs at 1 Hz of 500.
    checkCurve("LFO rate", lfoRateCurve, lfoRateCurveInverse, 0.0f, 0.98f,
               {0.0f, 0.0f, 0.2f, 0.001f, 0.25f, 0.002f, 0.5f,  0.007f, 0.7f, 0.03f,
                0.8f, 0.1f, 0.9f, 0.3f,   0.95f, 0.5f,   0.98f, 1.0f,   1.0f, 1.0f});
    checkCurve("follower", followerCurve, followerCurveInverse, 0.0f, 1.0f,
               {0.0f, 0.0f,  0.15f, 0.02f, 0.2f,  0.03f, 0.33f, 0.05f, 0.4f,  0.07f,
                0.5f, 0.1f,  0.6f,  0.13f, 0.68f, 0.17f, 0.75f, 0.22f, 0.85f, 0.35f,
                0.9f, 0.46f, 0.95f, 0.66f, 0.98f, 0.82f, 1.0f,  1.0f});
    // Volume: 36 dB over the upper 90 %, then a straight line from the knee (-32.4 dB) to 0.
    const float knee = std::pow(10.0f, -32.4f / 20.0f);
    checkCurve("volume", volumeCurve, volumeCurveInverse, 0.0f, 1.0f,
               {0.0f, 0.0f, 0.05f, 0.5f * knee, 0.1f, knee, 0.5f, std::pow(10.0f, -18.0f / 20.0f),
                0.7f, std::pow(10.0f, -10.8f / 20.0f), 1.0f, 1.0f});
    EXPECT_FLOAT_EQ(lfoRateCurveInverse(5.0f), 0.98f);
}

}  // namespace
