// Bitmap files of any content, decoded twice: the bytes as they are, and the bytes after a few
// header bytes wrapped as the image data of an otherwise well-formed PNG, which takes the fuzzer
// past zlib's checksum to the row filters. A decoded bitmap must have a size within the limits
// and premultiplied pixels: no colour above its alpha, alpha 255 in images without alpha. The
// wrapped image must decode exactly when its rows are complete and their filters known.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "gui/BitmapFiler.h"
#include "gui/PNGFiler.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

void checkPixels(const gui::Bitmap& bitmap, bool hasAlpha) {
    check(bitmap.width() >= 1 && bitmap.width() <= gui::PNGFiler::kMaxSide);
    check(bitmap.height() >= 1 && bitmap.height() <= gui::PNGFiler::kMaxSide);
    const size_t count = static_cast<size_t>(bitmap.width()) * bitmap.height();
    for (size_t i = 0; i < count; ++i) {
        const uint32_t pixel = bitmap.data()[i];
        const uint32_t alpha = pixel >> 24;
        check(hasAlpha || alpha == 0xff);
        for (int shift = 0; shift < 24; shift += 8) check(((pixel >> shift) & 0xff) <= alpha);
    }
}

// Whether the bytes decoded; EBitmap is the only failure allowed.
bool decodes(std::span<const uint8_t> bytes, bool hasAlpha) {
    try {
        checkPixels(gui::decodeBitmap(bytes), hasAlpha);
        return true;
    } catch (const gui::EBitmap&) {
        return false;
    }
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

// CRCs left zero: the decoder does not check them.
void putChunk(std::vector<uint8_t>& out, const char* type, std::span<const uint8_t> data) {
    put32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, 0);
}

void fuzzWrapped(FuzzInput& input) {
    const uint32_t width = 1 + input.byte() % 32, height = 1 + input.byte() % 32;
    const bool hasAlpha = input.byte() & 1;
    const uint16_t gamma = input.word();
    gui::setDisplayGammaFactor(0.25 + input.byte() / 64.0);
    const std::span<const uint8_t> rows = input.take(input.remaining());

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a}, field;
    put32(field, width);
    put32(field, height);
    field.insert(field.end(), {8, static_cast<uint8_t>(hasAlpha ? 6 : 2), 0, 0, 0});
    putChunk(png, "IHDR", field);
    if (gamma != 0) {
        field.clear();
        put32(field, gamma * 3u);
        putChunk(png, "gAMA", field);
    }
    uLongf size = compressBound(rows.size());
    std::vector<uint8_t> packed(size);
    check(compress(packed.data(), &size, rows.data(), rows.size()) == Z_OK);
    putChunk(png, "IDAT", std::span(packed).first(size));
    putChunk(png, "IEND", {});

    const size_t rowSize = 1 + width * (hasAlpha ? 4 : 3);
    bool valid = rows.size() == rowSize * height;
    for (size_t at = 0; valid && at < rows.size(); at += rowSize) valid = rows[at] <= 4;
    check(decodes(png, hasAlpha) == valid);
    gui::setDisplayGammaFactor(1.0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The colour type sits at byte 25 when IHDR comes first; only then can the bytes decode.
    decodes(std::span<const uint8_t>(data, size), size > 25 && data[25] == 6);
    FuzzInput input(data, size);
    fuzzWrapped(input);
    return 0;
}
