#include "dsp/CurveSet.h"

#include "dsp/Spline.h"

namespace {
Spline spline(const CurveSet::Shape& s) {
    return Spline(s.y0, s.x1, s.y1, s.x2, s.y2, s.y3);
}
}  // namespace

CurveSet::CurveSet() : CurveSet(spline(kRisingShape), spline(kFallingShape)) {}

CurveSet::CurveSet(const FunctionTableFunction& up, const FunctionTableFunction& down)
    : attack_(up, 0.0f, 1.0f, kTableCount),
      decay_(down, 0.0f, 1.0f, kTableCount),
      rise_(up, 0.0f, 1.0f, kTableCount),
      release_(down, 0.0f, 1.0f, kTableCount) {}
