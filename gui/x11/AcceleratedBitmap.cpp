#include "gui/x11/AcceleratedBitmap.h"

namespace gui::x11 {

void AcceleratedBitmap::allocate(int32_t width, int32_t height) {
    if (!texture_) glGenTextures(1, &texture_);
    width_ = width;
    height_ = height;
    glBindTexture(GL_TEXTURE_2D, texture_);
    // Texels map one to one onto pixels: no filtering may blur them.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
}

void AcceleratedBitmap::upload(const uint8_t* pixels, int32_t width, const Rect& r) {
    const Rect c = r.intersection({0, 0, width_, height_});
    if (c.empty()) return;
    glBindTexture(GL_TEXTURE_2D, texture_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, width);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, c.x);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, c.y);
    glTexSubImage2D(GL_TEXTURE_2D, 0, c.x, c.y, c.width, c.height, GL_BGRA, GL_UNSIGNED_BYTE,
                    pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
}

void AcceleratedBitmap::draw() const {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width_, height_, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2i(0, 0);
    glTexCoord2f(1, 0);
    glVertex2i(width_, 0);
    glTexCoord2f(1, 1);
    glVertex2i(width_, height_);
    glTexCoord2f(0, 1);
    glVertex2i(0, height_);
    glEnd();
}

void AcceleratedBitmap::release() {
    if (texture_) glDeleteTextures(1, &texture_);
    texture_ = 0;
}

}  // namespace gui::x11
