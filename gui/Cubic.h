#pragma once

#include <vector>

namespace gui {

// One piece of a piecewise cubic: Hermite interpolation from (x0, y0) to (x1, y1) with the given
// slopes at both ends.
struct CubicSegment {
    float x0 = 0, y0 = 0, slope0 = 0;
    float x1 = 1, y1 = 1, slope1 = 0;

    float operator()(float x) const;
};

// A smooth curve through points (x rising), evaluated by its segments; flat beyond both ends.
// Animations run their time fraction through one to ease in and out.
class Cubic {
public:
    Cubic() = default;
    explicit Cubic(std::vector<CubicSegment> segments) : segments_(std::move(segments)) {}
    // Monotone curve through the points with slopes that never overshoot (Fritsch-Carlson).
    static Cubic through(const std::vector<float>& x, const std::vector<float>& y);
    static Cubic linear();
    // Slow start and end, the animations' default.
    static Cubic easeInOut();
    // Fast start, slow end: things coming to rest.
    static Cubic easeOut();

    float operator()(float x) const;
    const std::vector<CubicSegment>& segments() const { return segments_; }

private:
    std::vector<CubicSegment> segments_;
};

}  // namespace gui
