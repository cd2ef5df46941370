#pragma once

#include <algorithm>
#include <cstdint>

namespace gui {

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(Point, Point) = default;
};

// A rectangle in integer units; empty when either side is not positive.
struct Rect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;

    int32_t right() const { return x + width; }
    int32_t bottom() const { return y + height; }
    bool empty() const { return width <= 0 || height <= 0; }
    bool contains(Point p) const { return p.x >= x && p.y >= y && p.x < right() && p.y < bottom(); }
    Rect translated(int32_t dx, int32_t dy) const { return {x + dx, y + dy, width, height}; }
    Rect reduced(int32_t by) const { return {x + by, y + by, width - 2 * by, height - 2 * by}; }

    Rect intersection(const Rect& o) const {
        const int32_t l = std::max(x, o.x), t = std::max(y, o.y);
        const int32_t r = std::min(right(), o.right()), b = std::min(bottom(), o.bottom());
        return r > l && b > t ? Rect{l, t, r - l, b - t} : Rect{};
    }
    bool intersects(const Rect& o) const { return !intersection(o).empty(); }
    // The smallest rectangle holding both; an empty side is ignored.
    Rect united(const Rect& o) const {
        if (empty()) return o;
        if (o.empty()) return *this;
        const int32_t l = std::min(x, o.x), t = std::min(y, o.y);
        return {l, t, std::max(right(), o.right()) - l, std::max(bottom(), o.bottom()) - t};
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace gui
