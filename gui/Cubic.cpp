#include "gui/Cubic.h"

#include <algorithm>
#include <cmath>

namespace gui {

float CubicSegment::operator()(float x) const {
    const float h = x1 - x0;
    if (h <= 0) return y0;
    const float t = std::clamp((x - x0) / h, 0.0f, 1.0f);
    const float t2 = t * t, t3 = t2 * t;
    const float h00 = 2 * t3 - 3 * t2 + 1, h10 = t3 - 2 * t2 + t;
    const float h01 = -2 * t3 + 3 * t2, h11 = t3 - t2;
    return h00 * y0 + h10 * h * slope0 + h01 * y1 + h11 * h * slope1;
}

Cubic Cubic::through(const std::vector<float>& x, const std::vector<float>& y) {
    const size_t n = std::min(x.size(), y.size());
    if (n < 2) return Cubic{};
    std::vector<float> secant(n - 1), slope(n);
    for (size_t i = 0; i + 1 < n; ++i) secant[i] = (y[i + 1] - y[i]) / (x[i + 1] - x[i]);
    slope[0] = secant[0];
    slope[n - 1] = secant[n - 2];
    for (size_t i = 1; i + 1 < n; ++i)
        slope[i] = secant[i - 1] * secant[i] <= 0 ? 0 : (secant[i - 1] + secant[i]) / 2;
    // Limit the slopes so that no segment overshoots its ends.
    for (size_t i = 0; i + 1 < n; ++i) {
        if (secant[i] == 0) {
            slope[i] = slope[i + 1] = 0;
            continue;
        }
        const float a = slope[i] / secant[i], b = slope[i + 1] / secant[i];
        const float s = a * a + b * b;
        if (s > 9) {
            const float tau = 3 / std::sqrt(s);
            slope[i] = tau * a * secant[i];
            slope[i + 1] = tau * b * secant[i];
        }
    }
    std::vector<CubicSegment> segments;
    for (size_t i = 0; i + 1 < n; ++i)
        segments.push_back({x[i], y[i], slope[i], x[i + 1], y[i + 1], slope[i + 1]});
    return Cubic(std::move(segments));
}

Cubic Cubic::linear() {
    return Cubic({{0, 0, 1, 1, 1, 1}});
}
Cubic Cubic::easeInOut() {
    return Cubic({{0, 0, 0, 1, 1, 0}});
}
Cubic Cubic::easeOut() {
    return Cubic({{0, 0, 2, 1, 1, 0}});
}

float Cubic::operator()(float x) const {
    if (segments_.empty()) return x;
    if (x <= segments_.front().x0) return segments_.front().y0;
    for (const CubicSegment& s : segments_)
        if (x <= s.x1) return s(x);
    return segments_.back().y1;
}

}  // namespace gui
