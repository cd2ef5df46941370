#pragma once

#include <span>

// Tapers of the synthesizer's parameters: plain value (usually 0..1) to an engine value, and
// back. The breakpoint curves are piecewise linear and hold their end values outside the table.

struct CurvePoint {
    float x;
    float y;
};

// Linear interpolation through ascending points; clamped to the first and last y.
float evaluateCurve(std::span<const CurvePoint> points, float x);
// The same table read from y to x (y must rise with x); clamped to the first and last x.
float invertCurve(std::span<const CurvePoint> points, float y);

// Result in octaves.
inline constexpr CurvePoint kDetuneCurve[] = {
    {-1.0f, -1.0f},       {-0.4f, -1.0f / 12.0f}, {-0.2f, -1.0f / 60.0f},
    {0.2f, 1.0f / 60.0f}, {0.4f, 1.0f / 12.0f},   {1.0f, 1.0f},
};
// Applied to |p|, the sign is kept.
inline constexpr CurvePoint kTimeCurve[] = {
    {0.0f, 0.0f},  {0.1f, 0.002f}, {0.25f, 0.05f}, {0.5f, 0.16f},
    {0.7f, 0.36f}, {0.9f, 0.91f},  {1.0f, 1.0f},
};
inline constexpr CurvePoint kFeedbackCurve[] = {
    {0.0f, 0.0f}, {0.1f, 0.04f}, {0.3f, 0.15f}, {0.8f, 1.0f}, {1.0f, 2.0f},
};
// Ends at 0.98: the top of the range all plays at full rate.
inline constexpr CurvePoint kLfoRateCurve[] = {
    {0.0f, 0.0f}, {0.2f, 0.001f}, {0.5f, 0.007f}, {0.7f, 0.03f},
    {0.8f, 0.1f}, {0.9f, 0.3f},   {0.95f, 0.5f},  {0.98f, 1.0f},
};
inline constexpr CurvePoint kFollowerCurve[] = {
    {0.0f, 0.0f},  {0.15f, 0.02f}, {0.2f, 0.03f},  {0.33f, 0.05f}, {0.4f, 0.07f},
    {0.5f, 0.1f},  {0.6f, 0.13f},  {0.68f, 0.17f}, {0.75f, 0.22f}, {0.85f, 0.35f},
    {0.9f, 0.46f}, {0.95f, 0.66f}, {0.98f, 0.82f}, {1.0f, 1.0f},
};

float detuneCurve(float p);
float detuneCurveInverse(float octaves);
float timeCurve(float p);
float timeCurveInverse(float t);
float feedbackCurve(float p);
float feedbackCurveInverse(float feedback);
float lfoRateCurve(float p);
float lfoRateCurveInverse(float rate);
float followerCurve(float p);
float followerCurveInverse(float t);

// 36 dB over the upper 90 % of the range, then a straight line down to silence.
float volumeCurve(float p);
float volumeCurveInverse(float gain);

// 2^x and log2(x) as taper or display functions.
float octavesToFactor(float octaves);
float factorToOctaves(float factor);

// Display of "Output Volume": dB shifted so that the default reads 0 dB.
float outputVolumeToDisplay(float gain);
float outputVolumeFromDisplay(float display);

// Display of "Stereo": 0..1 as is, above 1 at half speed (plain 2 shows 1.5).
float stereoToDisplay(float p);
float stereoFromDisplay(float display);
