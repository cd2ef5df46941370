#include <cairo.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include "gui/PNGFiler.h"
#include "persistence/ResourceOpener.h"

namespace gui {
namespace {

using Bytes = std::vector<uint8_t>;

// What the test encoder writes. Rows hold arbitrary bytes after their filter byte: whatever
// they are, unfiltering them defines the image, and Cairo's loader is the reference.
struct ImageShape {
    uint32_t width = 7, height = 5;
    uint8_t depth = 8, colour = 6, interlace = 0;
    std::optional<uint32_t> gamma = 45455;
    int filter = 0;  // 0-4 for every row; 5: row y uses y % 5
    int extraRows = 0;
    int idatPieces = 3;
    uLongf dropCompressed = 0;  // bytes left off the end of the zlib stream
    uint32_t seed = 1;
};

void put32(Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void putChunk(Bytes& out, const char* type, const Bytes& data) {
    put32(out, static_cast<uint32_t>(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    put32(out, static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

Bytes scanlines(const ImageShape& s) {
    std::mt19937 random(s.seed);
    const size_t rowBytes = s.width * (s.colour == 6 ? 4 : 3);
    Bytes rows;
    for (uint32_t y = 0; y < s.height + s.extraRows; ++y) {
        rows.push_back(static_cast<uint8_t>(s.filter == 5 ? y % 5 : s.filter));
        for (size_t i = 0; i < rowBytes; ++i) rows.push_back(static_cast<uint8_t>(random()));
    }
    return rows;
}

Bytes encode(const ImageShape& s, const Bytes& rows) {
    Bytes png = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a}, header;
    put32(header, s.width);
    put32(header, s.height);
    header.insert(header.end(), {s.depth, s.colour, 0, 0, s.interlace});
    putChunk(png, "IHDR", header);
    if (s.gamma) {
        Bytes gamma;
        put32(gamma, *s.gamma);
        putChunk(png, "gAMA", gamma);
    }
    uLongf size = compressBound(rows.size());
    Bytes packed(size);
    compress(packed.data(), &size, rows.data(), rows.size());
    size -= s.dropCompressed;
    for (int i = 0; i < s.idatPieces; ++i) {
        putChunk(png, "IDAT",
                 Bytes(packed.begin() + size * i / s.idatPieces,
                       packed.begin() + size * (i + 1) / s.idatPieces));
    }
    putChunk(png, "IEND", {});
    return png;
}

Bytes encode(const ImageShape& s) {
    return encode(s, scanlines(s));
}

template <class Decode>
EBitmap::Kind failureOf(Decode decodeIt) {
    try {
        decodeIt();
    } catch (const EBitmap& e) {
        EXPECT_STREQ(e.what(), EBitmap::text(e.kind()));
        return e.kind();
    }
    ADD_FAILURE() << "decoded";
    return EBitmap::Kind::UnknownFormat;
}

EBitmap::Kind failure(const Bytes& png) {
    return failureOf([&] { PNGFiler().load(png); });
}

// Pixels as Cairo's own PNG loader gives them (RGB24 for images without alpha).
std::vector<uint32_t> cairoPixels(const Bytes& png) {
    std::pair<const Bytes*, size_t> source{&png, 0};
    auto read = [](void* closure, unsigned char* data, unsigned int length) {
        auto* s = static_cast<std::pair<const Bytes*, size_t>*>(closure);
        if (s->second + length > s->first->size()) return CAIRO_STATUS_READ_ERROR;
        std::memcpy(data, s->first->data() + s->second, length);
        s->second += length;
        return CAIRO_STATUS_SUCCESS;
    };
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(read, &source);
    EXPECT_EQ(cairo_surface_status(surface), CAIRO_STATUS_SUCCESS);
    const bool opaque = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24;
    std::vector<uint32_t> pixels;
    for (int y = 0; y < cairo_image_surface_get_height(surface); ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(
            cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface));
        for (int x = 0; x < cairo_image_surface_get_width(surface); ++x) {
            pixels.push_back(opaque ? row[x] | 0xff000000u : row[x]);
        }
    }
    cairo_surface_destroy(surface);
    return pixels;
}

TEST(PNGFiler, EveryFilterDecodesAsCairosLoaderDoes) {
    for (uint8_t colour : {2, 6}) {
        for (int filter = 0; filter <= 5; ++filter) {
            SCOPED_TRACE(testing::Message() << "colour " << int(colour) << " filter " << filter);
            const Bytes png = encode({.width = 13,
                                      .height = 9,
                                      .colour = colour,
                                      .filter = filter,
                                      .seed = static_cast<uint32_t>(filter + 10 * colour)});
            const Bitmap bitmap = decodeBitmap(png);
            ASSERT_EQ(bitmap.width(), 13);
            ASSERT_EQ(bitmap.height(), 9);
            EXPECT_EQ(std::vector<uint32_t>(bitmap.data(), bitmap.data() + 13 * 9),
                      cairoPixels(png));
        }
    }
}

// A 256 x 1 ramp through the table: each red value shows one entry.
TEST(PNGFiler, GammaTableFollowsTheChunkAndTheDisplayFactor) {
    struct Case {
        std::optional<uint32_t> gamma;
        double factor, exponent;
    };
    const Case cases[] = {{45455, 1.0, 1.0 / (0.45455 * 2.2)}, {100000, 1.0, 1.0 / 2.2},
                          {22727, 1.0, 1.0 / (0.22727 * 2.2)}, {std::nullopt, 1.0, 1.0101009607},
                          {45455, 1.8, 1.8 / (0.45455 * 2.2)}, {1, 1.0, 1.0 / 0.000022}};
    ImageShape ramp{.width = 256, .height = 1, .colour = 2, .idatPieces = 1};
    Bytes rows = {0};
    for (int i = 0; i < 256; ++i) rows.insert(rows.end(), {uint8_t(i), 0, 0});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exponent);
        setDisplayGammaFactor(c.factor);
        ramp.gamma = c.gamma;
        const Bitmap bitmap = decodeBitmap(encode(ramp, rows));
        for (int i = 0; i < 256; ++i) {
            const int expected = std::min(255, int(std::pow(i * 0.003921569, c.exponent) * 255));
            ASSERT_EQ(bitmap.pixel(i, 0), 0xff000000u | uint32_t(expected) << 16) << i;
        }
    }
    setDisplayGammaFactor(1.0);
    EXPECT_THROW(setDisplayGammaFactor(0.0), std::invalid_argument);
}

TEST(PNGFiler, RefusesWhatItDoesNotDecode) {
    using K = EBitmap::Kind;
    const ImageShape good;
    Bytes rows = scanlines(good), badFilter = rows, cut(rows.begin(), rows.end() - 1);
    badFilter[0] = 5;
    Bytes notHeader = encode(good), badSignature = notHeader;
    notHeader[12] = 'X';
    badSignature[1] = 'p';
    const std::pair<Bytes, K> cases[] = {
        {encode({.depth = 16}), K::UnsupportedFormat},
        {encode({.colour = 3}), K::UnsupportedFormat},
        {encode({.colour = 0}), K::UnsupportedFormat},
        {encode({.interlace = 1}), K::UnsupportedFormat},
        {encode({.width = 0}), K::UnsupportedFormat},
        {encode({.width = 16385, .height = 1}), K::InvalidImage},
        {encode({.width = 16384, .height = 16384}, rows), K::InvalidImage},
        {encode({.gamma = 0}), K::InvalidImage},
        {encode({.extraRows = 1}), K::InvalidImage},
        {encode(good, cut), K::InvalidImage},
        {encode(good, badFilter), K::InvalidImage},
        {encode({.dropCompressed = 4}), K::InvalidImage},
        {notHeader, K::InvalidImage},
        {badSignature, K::InvalidSignature},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(failure(cases[i].first), cases[i].second) << i;

    // Every cut short of the whole file, IEND included.
    const Bytes whole = encode(good);
    for (size_t size = 0; size < whole.size(); ++size) {
        EXPECT_EQ(failure(Bytes(whole.begin(), whole.begin() + size)),
                  size < 8 ? K::InvalidSignature : K::InvalidImage)
            << size;
    }
    EXPECT_EQ(failureOf([] {
                  decodeBitmap(Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0});
              }),
              K::UnknownFormat);
}

TEST(PNGFiler, LoadsResourcesAndOtherRegisteredFormats) {
    const Bytes png = encode({});
    registerResource("png-filer-test.png", png);
    EXPECT_EQ(loadBitmap("png-filer-test").pixel(6, 4), decodeBitmap(png).pixel(6, 4));
    unregisterResource("png-filer-test.png");
    EXPECT_THROW(loadBitmap("png-filer-test"), EResource);

    struct Flat : BitmapFiler {
        bool accepts(std::span<const uint8_t> b) override { return b.size() == 3; }
        Bitmap load(std::span<const uint8_t>) override { return Bitmap(2, 1); }
    };
    struct FlatFactory : BitmapFilerFactory {
        std::unique_ptr<BitmapFiler> create() const override { return std::make_unique<Flat>(); }
    };
    registerBitmapFilerFactory(std::make_unique<FlatFactory>());
    EXPECT_EQ(decodeBitmap(Bytes{1, 2, 3}).width(), 2);
}

TEST(PNGFiler, ThreadsWithDifferentGammaEachGetTheirOwnTable) {
    const Bytes bright = encode({.gamma = 100000}), dark = encode({.gamma = 22727});
    const uint32_t brightPixel = decodeBitmap(bright).pixel(3, 3),
                   darkPixel = decodeBitmap(dark).pixel(3, 3);
    ASSERT_NE(brightPixel, darkPixel);
    auto run = [](const Bytes& png, uint32_t expected, int* wrong) {
        for (int i = 0; i < 300; ++i) *wrong += decodeBitmap(png).pixel(3, 3) != expected;
    };
    int wrong[2] = {0, 0};
    std::thread a(run, std::cref(bright), brightPixel, &wrong[0]);
    run(dark, darkPixel, &wrong[1]);
    a.join();
    EXPECT_EQ(wrong[0] + wrong[1], 0);
}

TEST(Bitmap, SurfaceWrapsThePixelsAndFollowsAMove) {
    Bitmap bitmap(3, 2);
    cairo_surface_t* surface = bitmap.surface();
    EXPECT_EQ(cairo_image_surface_get_data(surface),
              reinterpret_cast<unsigned char*>(bitmap.data()));
    EXPECT_EQ(cairo_image_surface_get_stride(surface), 12);
    bitmap.setPixel(2, 1, 0x80402010);
    Bitmap moved = std::move(bitmap);
    EXPECT_EQ(moved.surface(), surface);
    cairo_t* cr = cairo_create(surface);
    cairo_rectangle(cr, 0, 0, 1, 1);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    EXPECT_EQ(moved.pixel(0, 0), 0xffff0000u);
    EXPECT_EQ(moved.pixel(2, 1), 0x80402010u);
    EXPECT_EQ(moved.pixel(1, 0), 0u);
}

}  // namespace
}  // namespace gui
