#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "gui/BitmapFiler.h"

namespace gui {

// 8-bit RGB and RGBA PNG images, not interlaced. Colour channels go through a gamma table made
// from the image's gAMA chunk and the display gamma factor, then are premultiplied by alpha.
//
// Strict where it costs nothing: the IEND chunk is required (a file cut short is an error, not a
// partial image), as are exactly the image's bytes in one zlib stream that fills the IDAT chunks.
// Chunk CRCs are not checked: zlib's Adler-32 already covers the image data, and every header
// field is range-checked. Chunks other than IHDR, gAMA, IDAT and IEND are skipped.
class PNGFiler : public BitmapFiler {
public:
    // Larger images are refused before anything is allocated for them; pixel memory then grows
    // only with the rows that actually decode.
    static constexpr int32_t kMaxSide = 16384;
    static constexpr int64_t kMaxPixels = int64_t{1} << 26;

    bool accepts(std::span<const uint8_t> bytes) override;
    Bitmap load(std::span<const uint8_t> bytes) override;
};

class PNGFilerFactory : public BitmapFilerFactory {
public:
    std::unique_ptr<BitmapFiler> create() const override { return std::make_unique<PNGFiler>(); }
};

// Multiplies the gamma exponent of every image decoded afterwards; 1.0 until set. Must be finite
// and positive, else std::invalid_argument.
void setDisplayGammaFactor(double factor);
double displayGammaFactor();

}  // namespace gui
