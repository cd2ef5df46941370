#include "gui/Bitmap.h"

#include <cairo.h>

#include <utility>

namespace gui {

const char* EBitmap::text(Kind kind) {
    switch (kind) {
        case Kind::InvalidSignature:
            return "Invalid PNG signature";
        case Kind::InvalidImage:
            return "Invalid PNG image";
        case Kind::UnsupportedFormat:
            return "Unsupported PNG format";
        case Kind::UnknownFormat:
            break;
    }
    return "Unknown file format";
}

Bitmap::Bitmap(int32_t width, int32_t height)
    : Bitmap(width, height,
             std::vector<uint32_t>(width > 0 && height > 0
                                       ? static_cast<size_t>(width) * static_cast<size_t>(height)
                                       : 0)) {}

Bitmap::Bitmap(int32_t width, int32_t height, std::vector<uint32_t>&& pixels)
    : width_(width), height_(height), pixels_(std::move(pixels)) {
    if (width < 0 || height < 0 ||
        pixels_.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
        throw std::invalid_argument("Bitmap size does not match its pixels");
    }
}

Bitmap::~Bitmap() {
    releaseSurface();
}

// The vector's buffer moves with it, so a surface wrapping it stays valid.
Bitmap::Bitmap(Bitmap&& other) noexcept
    : width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      pixels_(std::move(other.pixels_)),
      surface_(std::exchange(other.surface_, nullptr)) {
    other.pixels_.clear();
}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
    if (this != &other) {
        releaseSurface();
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        pixels_ = std::move(other.pixels_);
        other.pixels_.clear();
        surface_ = std::exchange(other.surface_, nullptr);
    }
    return *this;
}

void Bitmap::setPixel(int32_t x, int32_t y, uint32_t argb) {
    if (surface_ != nullptr) cairo_surface_flush(surface_);
    pixels_[index(x, y)] = argb;
    markDirty();
}

uint32_t* Bitmap::data() {
    // Cairo may still have drawing of its own pending on the pixels.
    if (surface_ != nullptr) cairo_surface_flush(surface_);
    return pixels_.data();
}

void Bitmap::markDirty() {
    if (surface_ != nullptr) cairo_surface_mark_dirty(surface_);
}

cairo_surface_t* Bitmap::surface() {
    if (surface_ == nullptr) {
        surface_ =
            cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels_.data()),
                                                CAIRO_FORMAT_ARGB32, width_, height_, width_ * 4);
    }
    return surface_;
}

void Bitmap::releaseSurface() {
    if (surface_ != nullptr) cairo_surface_destroy(surface_);
    surface_ = nullptr;
}

}  // namespace gui
