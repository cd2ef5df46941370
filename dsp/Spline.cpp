#include "dsp/Spline.h"

#include <cmath>

namespace {
constexpr double kPointEpsilon = 1.1920929e-7;      // 2^-23
constexpr double kParameterEpsilon = 2.220446e-16;  // 2^-52
}  // namespace

Spline::Spline(double y0, double x1, double y1, double x2, double y2, double y3)
    : x_(bezier(0.0, x1, x2, 1.0)),
      y_(bezier(y0, y1, y2, y3)),
      start_(tangent(0.0, y0, x1, y1)),
      end_(tangent(1.0, y3, x2, y2)) {}

Spline::Cubic Spline::bezier(double p0, double p1, double p2, double p3) {
    const double c = 3.0 * (p1 - p0);
    const double b = 3.0 * (p2 - p1) - c;
    const double a = p3 - p0 - c - b;
    return {a, b, c, p0};
}

Spline::Tangent Spline::tangent(double xEnd, double yEnd, double xControl, double yControl) {
    // A control point straight above or on the end point gives no usable y(x) line.
    if (std::fabs(xControl - xEnd) <= kPointEpsilon) return {false, xEnd, yEnd, 0.0};
    return {true, xEnd, yEnd, (yControl - yEnd) / (xControl - xEnd)};
}

double Spline::evaluate(double x) const {
    if (x < 0.0 || x > 1.0) {
        const Tangent& line = x < 0.0 ? start_ : end_;
        return line.present ? line.y + (x - line.x) * line.slope : line.y;
    }
    double lo = 0.0;
    double hi = 1.0;
    double t = 0.5;
    while (std::fabs(y_(hi) - y_(lo)) > kTolerance) {
        const double xt = x_(t);
        if (std::fabs(xt - x) <= kParameterEpsilon) break;
        if (xt < x) {
            lo = t;
        } else {
            hi = t;
        }
        t = 0.5 * (lo + hi);
    }
    return y_(t);
}
