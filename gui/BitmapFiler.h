#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "gui/Bitmap.h"

namespace gui {

// Decodes one file format into bitmaps. Throws EBitmap on bytes it cannot decode.
class BitmapFiler {
public:
    virtual ~BitmapFiler() = default;
    // Whether the bytes look like this filer's format (a cheap look at the first bytes).
    virtual bool accepts(std::span<const uint8_t> bytes) = 0;
    virtual Bitmap load(std::span<const uint8_t> bytes) = 0;
};

class BitmapFilerFactory {
public:
    virtual ~BitmapFilerFactory() = default;
    virtual std::unique_ptr<BitmapFiler> create() const = 0;
};

// Process-wide list of formats, asked in the order of registration; the PNG filer comes first.
// Factories stay registered for the life of the process.
void registerBitmapFilerFactory(std::unique_ptr<BitmapFilerFactory> factory);

// Decodes with the first filer that accepts the bytes; EBitmap "Unknown file format" when none
// does.
Bitmap decodeBitmap(std::span<const uint8_t> bytes);

// The resource `name` + ".png" (see openResource; EResource when it is missing), decoded.
Bitmap loadBitmap(std::string_view name);

}  // namespace gui
