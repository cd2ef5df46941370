#include "dsp/FilterFunctions.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
// Three updates per sample: the coefficient covers a third of the sample period.
constexpr double kUpdatesPerSample = 3.0;
}  // namespace

double ClipFunction::evaluate(double x) const {
    if (x >= 0.0) return shape_ != 0.0 ? std::atan(shape_ * x) / shape_ : x;  // the limit at 0
    return std::atan(x);
}

double FreqFunction::evaluate(double x) const {
    const double ratio = std::min(std::exp2(x), 1.0);
    return std::min(2.0 * std::sin(ratio * std::numbers::pi / kUpdatesPerSample), kMaxCoefficient);
}

double DampLimitFunction::evaluate(double f) const {
    if (f > kMinCoefficient) return std::min(2.0 / f - f, kMaxDamping);
    return kMaxDamping;
}

double DampFunction::evaluate(double r) const {
    return 2.0 * (1.0 - std::pow(r, 0.25));
}

FilterTables::FilterTables()
    : defaultClip(ClipFunction(kDefaultClipShape), -ClipFunction::kDomain, ClipFunction::kDomain,
                  ClipFunction::kTableCount),
      dampLimit(DampLimitFunction(), 0.0f, 1.0f, DampLimitFunction::kTableCount),
      damp(DampFunction(), 0.0f, DampFunction::kMax, DampFunction::kTableCount),
      frequency(FreqFunction(), FreqFunction::kMin, FreqFunction::kMax, FreqFunction::kTableCount) {
}

const FilterTables& FilterTables::shared() {
    static const FilterTables tables;
    return tables;
}
