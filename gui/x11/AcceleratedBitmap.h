#pragma once

#include <cstdint>

#include "gui/Geometry.h"
#include "gui/x11/Xlib.h"

namespace gui::x11 {

// The window's picture as one texture of the window's size (non-power-of-two), holding Cairo's
// premultiplied pixels. Lives on the render thread, with the context current.
class AcceleratedBitmap {
public:
    // (Re)makes the texture at this size; its contents are undefined until uploaded.
    void allocate(int32_t width, int32_t height);
    // Copies rectangle `r` of a whole-window BGRA picture (`width` pixels per row).
    void upload(const uint8_t* pixels, int32_t width, const Rect& r);
    // Draws the texture over the whole viewport, blended as premultiplied colour.
    void draw() const;
    void release();
    bool allocated() const { return texture_ != 0; }

private:
    GLuint texture_ = 0;
    int32_t width_ = 0, height_ = 0;
};

}  // namespace gui::x11
