#include "engine/ParameterCurves.h"

#include <cmath>

#include "framework/ParameterFormat.h"

namespace {

// 36 dB of range in natural-log units per unit of p: 36 · ln(10) / 20.
constexpr float kVolumeRangeDb = 36.0f;
constexpr double kDbToNeper = 0.1151292546497023;
// The volume curve's knee: p = 0.1 lies 32.4 dB below full scale.
constexpr float kVolumeKnee = 0.1f;
constexpr double kKneeLogGain = -3.73018784447434;
constexpr float kInverseRangeDb = 0.027777778f;  // 1 / 36
constexpr float kVolumeFloorDb = -180.0f;
// Shift of the "Output Volume" display so that the default (p = 0.7) reads 0 dB.
constexpr float kOutputVolumeOffsetDb = 10.802f;
constexpr float kStereoUpperSlope = 0.5f;

float oddSymmetric(float (*curve)(float), float p) {
    return p < 0.0f ? -curve(-p) : curve(p);
}

float timeMagnitude(float p) {
    return evaluateCurve(kTimeCurve, p);
}
float timeMagnitudeInverse(float t) {
    return invertCurve(kTimeCurve, t);
}

}  // namespace

float evaluateCurve(std::span<const CurvePoint> points, float x) {
    if (x <= points.front().x) return points.front().y;
    for (size_t i = 1; i < points.size(); ++i) {
        const CurvePoint& a = points[i - 1];
        const CurvePoint& b = points[i];
        if (x <= b.x) return a.y + (x - a.x) * (b.y - a.y) / (b.x - a.x);
    }
    return points.back().y;
}

float invertCurve(std::span<const CurvePoint> points, float y) {
    if (y <= points.front().y) return points.front().x;
    for (size_t i = 1; i < points.size(); ++i) {
        const CurvePoint& a = points[i - 1];
        const CurvePoint& b = points[i];
        if (y <= b.y) return a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y);
    }
    return points.back().x;
}

float detuneCurve(float p) {
    return evaluateCurve(kDetuneCurve, p);
}
float detuneCurveInverse(float octaves) {
    return invertCurve(kDetuneCurve, octaves);
}
float timeCurve(float p) {
    return oddSymmetric(timeMagnitude, p);
}
float timeCurveInverse(float t) {
    return oddSymmetric(timeMagnitudeInverse, t);
}
float feedbackCurve(float p) {
    return evaluateCurve(kFeedbackCurve, p);
}
float feedbackCurveInverse(float feedback) {
    return invertCurve(kFeedbackCurve, feedback);
}
float lfoRateCurve(float p) {
    return evaluateCurve(kLfoRateCurve, p);
}
float lfoRateCurveInverse(float rate) {
    return invertCurve(kLfoRateCurve, rate);
}
float followerCurve(float p) {
    return evaluateCurve(kFollowerCurve, p);
}
float followerCurveInverse(float t) {
    return invertCurve(kFollowerCurve, t);
}

float volumeCurve(float p) {
    if (p > kVolumeKnee) {
        return static_cast<float>(std::exp((p - 1.0f) * kVolumeRangeDb * kDbToNeper));
    }
    return static_cast<float>(p * 10.0 * std::exp(kKneeLogGain));
}

float volumeCurveInverse(float gain) {
    const double knee = std::exp(kKneeLogGain);
    if (gain > knee) {
        const float db = std::fmax(20.0f * std::log10(gain), kVolumeFloorDb);
        return 1.0f + db * kInverseRangeDb;
    }
    return static_cast<float>(gain * kVolumeKnee / knee);
}

float octavesToFactor(float octaves) {
    return std::exp2(octaves);
}
float factorToOctaves(float factor) {
    return std::log2(factor);
}

float outputVolumeToDisplay(float gain) {
    return ratioToDecibels(gain) + kOutputVolumeOffsetDb;
}
float outputVolumeFromDisplay(float display) {
    return decibelsToRatio(display - kOutputVolumeOffsetDb);
}

float stereoToDisplay(float p) {
    return p <= 1.0f ? p : 1.0f + (p - 1.0f) * kStereoUpperSlope;
}
float stereoFromDisplay(float display) {
    return display <= 1.0f ? display : 1.0f + (display - 1.0f) / kStereoUpperSlope;
}
