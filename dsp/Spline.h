#pragma once

#include "dsp/FunctionTable.h"

// A cubic Bezier curve from (0, y0) over (x1, y1) and (x2, y2) to (1, y3), read as y(x). Inside
// [0, 1] the curve parameter is found by bisection; outside, the curve continues along its end
// tangent (or stays at its end value where there is none).
class Spline : public FunctionTableFunction {
public:
    // Bisection stops once y changes less than this over the remaining interval.
    static constexpr double kTolerance = 0.0001;

    Spline(double y0, double x1, double y1, double x2, double y2, double y3);

    double evaluate(double x) const override;

    double xAt(double t) const { return x_(t); }
    double yAt(double t) const { return y_(t); }

private:
    // a t^3 + b t^2 + c t + d
    struct Cubic {
        double a, b, c, d;
        double operator()(double t) const { return ((a * t + b) * t + c) * t + d; }
    };
    // The line through an end point and its neighbouring control point.
    struct Tangent {
        bool present;
        double x, y, slope;
    };

    static Cubic bezier(double p0, double p1, double p2, double p3);
    static Tangent tangent(double xEnd, double yEnd, double xControl, double yControl);

    Cubic x_;
    Cubic y_;
    Tangent start_;
    Tangent end_;
};
