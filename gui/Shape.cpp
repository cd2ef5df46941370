#include "gui/Shape.h"

#include <algorithm>

namespace gui {

void Shape::paint(Graphics& g) {
    const Rect b = localBounds();
    switch (style_.kind) {
        case Kind::Rectangle:
            g.fillRect(b, style_.fill);
            if (style_.stroke.a > 0) g.strokeRoundedRect(b, 0, style_.strokeWidth, style_.stroke);
            break;
        case Kind::RoundedRectangle:
            g.fillRoundedRect(b, style_.radius, style_.fill);
            if (style_.stroke.a > 0)
                g.strokeRoundedRect(b, style_.radius, style_.strokeWidth, style_.stroke);
            break;
        case Kind::Ellipse:
            g.fillEllipse(b.width / 2.0f, b.height / 2.0f, std::min(b.width, b.height) / 2.0f,
                          style_.fill);
            break;
        case Kind::HorizontalLine:
            g.line(0, b.height / 2.0f, b.width, b.height / 2.0f, style_.strokeWidth, style_.fill);
            break;
        case Kind::VerticalLine:
            g.line(b.width / 2.0f, 0, b.width / 2.0f, b.height, style_.strokeWidth, style_.fill);
            break;
    }
}

Image::Image(cairo_surface_t* surface) {
    setSurface(surface);
}

Image::~Image() {
    if (surface_) cairo_surface_destroy(surface_);
}

void Image::setSurface(cairo_surface_t* surface) {
    if (surface) cairo_surface_reference(surface);
    if (surface_) cairo_surface_destroy(surface_);
    surface_ = surface;
    repaint();
}

void Image::paint(Graphics& g) {
    if (surface_) g.image(surface_, 0, 0);
}

void Curve::setPoints(std::vector<float> xy) {
    xy_ = std::move(xy);
    repaint();
}

void Curve::paint(Graphics& g) {
    const Rect b = localBounds();
    g.fillRoundedRect(b, palette::kRadius, palette::kTrack);
    const float w = b.width - 4.0f, h = b.height - 4.0f;
    if (style_.grid) {
        for (int i = 1; i < 4; ++i) {
            const float x = 2 + w * i / 4.0f, y = 2 + h * i / 4.0f;
            g.line(x, 2, x, 2 + h, 1.0f, palette::kHighlight);
            g.line(2, y, 2 + w, y, 1.0f, palette::kHighlight);
        }
    }
    std::vector<float> device(xy_.size());
    for (size_t i = 0; i + 1 < xy_.size(); i += 2) {
        device[i] = 2 + xy_[i] * w;
        device[i + 1] = 2 + (1.0f - xy_[i + 1]) * h;
    }
    g.save();
    g.clip(b.reduced(1));
    g.polyline(device, style_.width, style_.stroke, style_.fill, 2 + (1.0f - style_.baseline) * h);
    g.restore();
}

}  // namespace gui
