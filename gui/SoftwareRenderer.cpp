#include "gui/SoftwareRenderer.h"

#include <cmath>

#include "gui/Graphics.h"
#include "gui/RootControl.h"

namespace gui {

SoftwareRenderer::~SoftwareRenderer() {
    if (surface_) cairo_surface_destroy(surface_);
}

void SoftwareRenderer::setSize(int32_t width, int32_t height, float scale) {
    if (width == width_ && height == height_ && scale == scale_ && surface_) return;
    width_ = width;
    height_ = height;
    scale_ = scale;
    deviceWidth_ = std::max(1, static_cast<int32_t>(std::ceil(width * scale)));
    deviceHeight_ = std::max(1, static_cast<int32_t>(std::ceil(height * scale)));
    if (surface_) cairo_surface_destroy(surface_);
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, deviceWidth_, deviceHeight_);
    full_ = true;
}

Rect SoftwareRenderer::toDevice(const Rect& r) const {
    const auto x0 = static_cast<int32_t>(std::floor(r.x * scale_));
    const auto y0 = static_cast<int32_t>(std::floor(r.y * scale_));
    const auto x1 = static_cast<int32_t>(std::ceil(r.right() * scale_));
    const auto y1 = static_cast<int32_t>(std::ceil(r.bottom() * scale_));
    return Rect{x0, y0, x1 - x0, y1 - y0}.intersection({0, 0, deviceWidth_, deviceHeight_});
}

std::vector<Rect> SoftwareRenderer::render(RootControl& root) {
    std::vector<Rect> region = root.takeDirtyRegion();
    if (!surface_) return {};
    if (full_) region.assign(1, Rect{0, 0, width_, height_});
    full_ = false;
    std::vector<Rect> changed;
    cairo_t* cr = cairo_create(surface_);
    cairo_scale(cr, scale_, scale_);
    Graphics g(cr);
    for (const Rect& r : region) {
        // Cleared first: controls may draw with transparency over the background.
        g.save();
        g.clip(r);
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        g.restore();
        root.paintRegion(g, r);
        changed.push_back(toDevice(r));
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface_);
    return changed;
}

bool renderToPng(RootControl& root, float scale, const char* path) {
    SoftwareRenderer renderer;
    renderer.setSize(root.bounds().width, root.bounds().height, scale);
    renderer.render(root);
    return cairo_surface_write_to_png(renderer.surface(), path) == CAIRO_STATUS_SUCCESS;
}

}  // namespace gui
