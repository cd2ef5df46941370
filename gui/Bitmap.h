#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;

namespace gui {

// Raised when bytes cannot be decoded into a bitmap.
class EBitmap : public std::runtime_error {
public:
    enum class Kind { InvalidSignature, InvalidImage, UnsupportedFormat, UnknownFormat };

    explicit EBitmap(Kind kind) : std::runtime_error(text(kind)), kind_(kind) {}
    Kind kind() const { return kind_; }
    static const char* text(Kind kind);

private:
    Kind kind_;
};

// Premultiplied ARGB in native-endian words, rows packed without padding: the memory layout of
// a Cairo ARGB32 image surface, which surface() wraps without copying.
class Bitmap {
public:
    Bitmap() = default;
    // Transparent black.
    Bitmap(int32_t width, int32_t height);
    // Takes `pixels`, which must hold width x height words (else std::invalid_argument).
    Bitmap(int32_t width, int32_t height, std::vector<uint32_t>&& pixels);
    ~Bitmap();
    Bitmap(Bitmap&& other) noexcept;
    Bitmap& operator=(Bitmap&& other) noexcept;
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    bool empty() const { return pixels_.empty(); }

    uint32_t pixel(int32_t x, int32_t y) const { return pixels_[index(x, y)]; }
    void setPixel(int32_t x, int32_t y, uint32_t argb);

    const uint32_t* data() const { return pixels_.data(); }
    // For writing in place: call markDirty() when done, so that Cairo drops what it cached.
    uint32_t* data();
    void markDirty();

    // Owned by the bitmap; valid until it is destroyed or assigned to.
    cairo_surface_t* surface();

private:
    size_t index(int32_t x, int32_t y) const {
        return static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x);
    }
    void releaseSurface();

    int32_t width_ = 0;
    int32_t height_ = 0;
    std::vector<uint32_t> pixels_;
    cairo_surface_t* surface_ = nullptr;
};

}  // namespace gui
