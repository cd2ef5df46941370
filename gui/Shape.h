#pragma once

#include <cairo.h>

#include <vector>

#include "gui/Component.h"
#include "gui/Palette.h"

namespace gui {

// A plain drawn shape: panels, frames and dividers.
class Shape : public Component {
public:
    enum class Kind { Rectangle, RoundedRectangle, Ellipse, HorizontalLine, VerticalLine };
    struct Style {
        Kind kind = Kind::RoundedRectangle;
        Colour fill = palette::kPanel;
        Colour stroke = {0, 0, 0, 0};
        float strokeWidth = 1.0f;
        float radius = 4.0f;
    };
    Shape() = default;
    explicit Shape(const Style& s) : style_(s) {}
    void paint(Graphics& g) override;

private:
    Style style_;
};

// A picture (a bitmap's Cairo surface), drawn at the top left.
class Image : public Component {
public:
    explicit Image(cairo_surface_t* surface = nullptr);
    ~Image() override;
    void setSurface(cairo_surface_t* surface);
    void paint(Graphics& g) override;

private:
    cairo_surface_t* surface_ = nullptr;
};

// A curve through points given in 0..1 on both axes (y up): envelope shapes, filter responses,
// wave forms. Optionally filled down to a baseline.
class Curve : public Component {
public:
    struct Style {
        Colour stroke = palette::kAccent;
        Colour fill = palette::kAccent.withAlpha(0.18f);
        float width = 1.5f;
        float baseline = 0.0f;  // where the fill ends, 0..1
        bool grid = true;
    };
    Curve() = default;
    explicit Curve(const Style& s) : style_(s) {}
    void setPoints(std::vector<float> xy);
    const std::vector<float>& points() const { return xy_; }
    void paint(Graphics& g) override;

private:
    Style style_;
    std::vector<float> xy_;
};

}  // namespace gui
