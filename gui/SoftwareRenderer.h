#pragma once

#include <cairo.h>

#include <vector>

#include "gui/Geometry.h"

namespace gui {

class RootControl;

// Draws a component tree with Cairo into an image in device pixels (logical size x scale). The
// software back end copies the changed parts to the window, the OpenGL back end uploads them as
// texture, headless pictures write the image to PNG.
class SoftwareRenderer {
public:
    SoftwareRenderer() = default;
    SoftwareRenderer(const SoftwareRenderer&) = delete;
    SoftwareRenderer& operator=(const SoftwareRenderer&) = delete;
    ~SoftwareRenderer();

    // Logical size and scale; a change redraws everything on the next render.
    void setSize(int32_t width, int32_t height, float scale);
    float scale() const { return scale_; }

    // Draws the root's dirty region (all of it after a resize) and returns the device-pixel
    // rectangles that changed.
    std::vector<Rect> render(RootControl& root);

    cairo_surface_t* surface() const { return surface_; }
    int32_t deviceWidth() const { return deviceWidth_; }
    int32_t deviceHeight() const { return deviceHeight_; }

private:
    Rect toDevice(const Rect& r) const;

    cairo_surface_t* surface_ = nullptr;
    int32_t width_ = 0, height_ = 0, deviceWidth_ = 0, deviceHeight_ = 0;
    float scale_ = 1.0f;
    bool full_ = true;
};

// Renders a whole tree at a scale, without any display, and writes it as PNG. Returns false with
// errno-like failure when the file cannot be written.
bool renderToPng(RootControl& root, float scale, const char* path);

}  // namespace gui
