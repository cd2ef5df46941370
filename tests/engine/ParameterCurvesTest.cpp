#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "engine/ParameterCurves.h"

namespace {

using Breakpoints = std::vector<std::pair<float, float>>;

// Every breakpoint hits its value, and the inverse leads back to the breakpoint.
void expectBreakpoints(const char* curve, float (*forward)(float), float (*inverse)(float),
                       const Breakpoints& points) {
    for (const auto& [p, value] : points) {
        EXPECT_NEAR(forward(p), value, 1e-6f) << curve << " at " << p;
        EXPECT_NEAR(inverse(value), p, 1e-5f) << curve << " inverse at " << value;
    }
}

// Between the breakpoints the inverse undoes the curve.
void expectRoundTrip(const char* curve, float (*forward)(float), float (*inverse)(float), float lo,
                     float hi) {
    for (int i = 0; i <= 200; ++i) {
        const float p = lo + (hi - lo) * static_cast<float>(i) / 200.0f;
        EXPECT_NEAR(inverse(forward(p)), p, 2e-5f) << curve << " at " << p;
    }
}

TEST(ParameterCurvesTest, DetuneCurveBreakpointsClampAndInverse) {
    expectBreakpoints("detune", detuneCurve, detuneCurveInverse,
                      {{-1.0f, -1.0f},
                       {-0.4f, -0.0833333f},
                       {-0.2f, -0.0166667f},
                       {0.2f, 0.0166667f},
                       {0.4f, 0.0833333f},
                       {1.0f, 1.0f}});
    EXPECT_FLOAT_EQ(detuneCurve(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(detuneCurve(-3.0f), -1.0f);
    EXPECT_FLOAT_EQ(detuneCurve(2.0f), 1.0f);
    expectRoundTrip("detune", detuneCurve, detuneCurveInverse, -1.0f, 1.0f);
}

TEST(ParameterCurvesTest, TimeCurveIsOddSymmetric) {
    expectBreakpoints("time", timeCurve, timeCurveInverse,
                      {{0.0f, 0.0f},
                       {0.1f, 0.002f},
                       {0.25f, 0.05f},
                       {0.5f, 0.16f},
                       {0.7f, 0.36f},
                       {0.9f, 0.91f},
                       {1.0f, 1.0f}});
    EXPECT_FLOAT_EQ(timeCurve(-0.5f), -0.16f);
    EXPECT_FLOAT_EQ(timeCurve(-0.25f), -0.05f);
    EXPECT_NEAR(timeCurveInverse(-0.36f), -0.7f, 1e-6f);
    expectRoundTrip("time", timeCurve, timeCurveInverse, -1.0f, 1.0f);
}

TEST(ParameterCurvesTest, FeedbackCurveReachesTwo) {
    expectBreakpoints("feedback", feedbackCurve, feedbackCurveInverse,
                      {{0.0f, 0.0f}, {0.1f, 0.04f}, {0.3f, 0.15f}, {0.8f, 1.0f}, {1.0f, 2.0f}});
    EXPECT_FLOAT_EQ(feedbackCurve(-0.5f), 0.0f);
    EXPECT_FLOAT_EQ(feedbackCurve(1.5f), 2.0f);
    // The delay's default feedback.
    EXPECT_NEAR(feedbackCurve(0.4f), 0.32f, 1e-6f);
    expectRoundTrip("feedback", feedbackCurve, feedbackCurveInverse, 0.0f, 1.0f);
}

TEST(ParameterCurvesTest, LfoRateCurveSaturatesAboveItsLastBreakpoint) {
    expectBreakpoints("LFO rate", lfoRateCurve, lfoRateCurveInverse,
                      {{0.0f, 0.0f},
                       {0.2f, 0.001f},
                       {0.5f, 0.007f},
                       {0.7f, 0.03f},
                       {0.8f, 0.1f},
                       {0.9f, 0.3f},
                       {0.95f, 0.5f},
                       {0.98f, 1.0f}});
    EXPECT_FLOAT_EQ(lfoRateCurve(0.99f), 1.0f);
    EXPECT_FLOAT_EQ(lfoRateCurve(1.0f), 1.0f);
    EXPECT_FLOAT_EQ(lfoRateCurveInverse(1.0f), 0.98f);
    EXPECT_FLOAT_EQ(lfoRateCurveInverse(5.0f), 0.98f);
    // The XLFO default 0.25 runs at 1 Hz of 500.
    EXPECT_NEAR(lfoRateCurve(0.25f) * 500.0f, 1.0f, 1e-5f);
    expectRoundTrip("LFO rate", lfoRateCurve, lfoRateCurveInverse, 0.0f, 0.98f);
}

TEST(ParameterCurvesTest, FollowerCurveBreakpoints) {
    expectBreakpoints("follower", followerCurve, followerCurveInverse,
                      {{0.0f, 0.0f},
                       {0.15f, 0.02f},
                       {0.2f, 0.03f},
                       {0.33f, 0.05f},
                       {0.4f, 0.07f},
                       {0.5f, 0.1f},
                       {0.6f, 0.13f},
                       {0.68f, 0.17f},
                       {0.75f, 0.22f},
                       {0.85f, 0.35f},
                       {0.9f, 0.46f},
                       {0.95f, 0.66f},
                       {0.98f, 0.82f},
                       {1.0f, 1.0f}});
    expectRoundTrip("follower", followerCurve, followerCurveInverse, 0.0f, 1.0f);
}

TEST(ParameterCurvesTest, VolumeCurveSpans36DbAboveTheKneeAndIsLinearBelow) {
    EXPECT_FLOAT_EQ(volumeCurve(1.0f), 1.0f);
    EXPECT_NEAR(20.0f * std::log10(volumeCurve(0.5f)), -18.0f, 1e-4f);
    EXPECT_NEAR(20.0f * std::log10(volumeCurve(0.7f)), -10.8f, 1e-4f);
    // The straight line meets the curve at p = 0.1, -32.4 dB, and runs to 0.
    const float knee = volumeCurve(0.1f);
    EXPECT_NEAR(20.0f * std::log10(knee), -32.4f, 1e-3f);
    EXPECT_NEAR(volumeCurve(0.1000001f), knee, 1e-6f);
    EXPECT_NEAR(volumeCurve(0.05f), knee * 0.5f, 1e-7f);
    EXPECT_FLOAT_EQ(volumeCurve(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(volumeCurveInverse(0.0f), 0.0f);
    expectRoundTrip("volume", volumeCurve, volumeCurveInverse, 0.0f, 1.0f);
}

TEST(ParameterCurvesTest, DisplayTransformsOfOutputVolumeAndStereo) {
    EXPECT_NEAR(outputVolumeToDisplay(volumeCurve(0.7f)), 0.002f, 1e-3f);
    EXPECT_NEAR(outputVolumeToDisplay(1.0f), 10.802f, 1e-5f);
    EXPECT_NEAR(outputVolumeToDisplay(0.0f), -180.0f + 10.802f, 1e-4f);
    EXPECT_NEAR(outputVolumeFromDisplay(outputVolumeToDisplay(0.25f)), 0.25f, 1e-6f);

    EXPECT_FLOAT_EQ(stereoToDisplay(0.5f), 0.5f);
    EXPECT_FLOAT_EQ(stereoToDisplay(1.0f), 1.0f);
    EXPECT_FLOAT_EQ(stereoToDisplay(2.0f), 1.5f);
    EXPECT_FLOAT_EQ(stereoFromDisplay(1.25f), 1.5f);
    EXPECT_FLOAT_EQ(stereoFromDisplay(0.75f), 0.75f);

    EXPECT_FLOAT_EQ(octavesToFactor(-1.0f), 0.5f);
    EXPECT_FLOAT_EQ(octavesToFactor(2.0f), 4.0f);
    EXPECT_FLOAT_EQ(factorToOctaves(2.0f), 1.0f);
}

}  // namespace
