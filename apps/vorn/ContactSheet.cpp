#include "apps/vorn/ContactSheet.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kColumns = 8;
constexpr int kTileWidth = 200, kPictureHeight = 96, kLabelHeight = 16, kGap = 6;
constexpr int kBins = 1024;  // of a 2048-point window
constexpr double kLowHz = 40, kHighHz = 20000, kRangeDb = 80;

// Dark blue through orange to white: quiet to loud.
uint32_t colour(double level) {
    level = std::clamp(level, 0.0, 1.0);
    const double r = std::min(1.0, level * 1.6), g = std::clamp(level * 1.6 - 0.5, 0.0, 1.0);
    const double b = level < 0.3 ? 0.25 + level : std::clamp(level * 2 - 1.2, 0.0, 1.0);
    const auto byte = [](double v) { return static_cast<uint32_t>(std::lround(v * 255)); };
    return 0xFF000000u | byte(r) << 16 | byte(g) << 8 | byte(b);
}

void drawTile(cairo_surface_t* sheet, const LibraryAudit::Row& row, int x0, int y0, double rate) {
    const int frames = static_cast<int>(row.triad.size()) / kBins;
    if (frames == 0) return;
    const float peak = *std::max_element(row.triad.begin(), row.triad.end());
    auto* pixels = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(sheet));
    const int stride = cairo_image_surface_get_stride(sheet) / 4;
    for (int x = 0; x < kTileWidth; ++x) {
        const int frame = x * frames / kTileWidth;
        for (int y = 0; y < kPictureHeight; ++y) {
            const double hz = kLowHz * std::pow(kHighHz / kLowHz, 1.0 - (y + 0.5) / kPictureHeight);
            const int bin = std::clamp(static_cast<int>(hz / (rate / 2) * kBins), 0, kBins - 1);
            const float db = row.triad[static_cast<size_t>(frame * kBins + bin)];
            pixels[(y0 + y) * stride + x0 + x] = colour(1.0 - (peak - db) / kRangeDb);
        }
    }
}

}  // namespace

bool writeContactSheet(const std::vector<LibraryAudit::Row>& rows, const std::string& path,
                       double rate) {
    const int count = static_cast<int>(rows.size());
    const int tileHeight = kPictureHeight + kLabelHeight;
    const int width = kColumns * (kTileWidth + kGap) + kGap;
    const int height = (count + kColumns - 1) / kColumns * (tileHeight + kGap) + kGap;
    cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(sheet);
    cairo_set_source_rgb(cr, 0.09, 0.1, 0.12);
    cairo_paint(cr);
    cairo_surface_flush(sheet);
    for (int i = 0; i < count; ++i) {
        const int x = kGap + i % kColumns * (kTileWidth + kGap);
        const int y = kGap + i / kColumns * (tileHeight + kGap);
        drawTile(sheet, rows[static_cast<size_t>(i)], x, y, rate);
    }
    cairo_surface_mark_dirty(sheet);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 11);
    cairo_set_source_rgb(cr, 0.85, 0.87, 0.9);
    for (int i = 0; i < count; ++i) {
        const LibraryAudit::Row& row = rows[static_cast<size_t>(i)];
        std::string label = row.name + "  (" + LibraryAudit::categoryName(row.category) + ")";
        // The category goes first, then letters, so that no label runs into the next tile.
        cairo_text_extents_t extents;
        cairo_text_extents(cr, label.c_str(), &extents);
        if (extents.x_advance > kTileWidth) label = row.name;
        for (;;) {
            cairo_text_extents(cr, label.c_str(), &extents);
            if (extents.x_advance <= kTileWidth || label.size() < 2) break;
            label.resize(label.size() - 2);
            label += ".";
        }
        cairo_move_to(cr, kGap + i % kColumns * (kTileWidth + kGap),
                      kGap + i / kColumns * (tileHeight + kGap) + kPictureHeight + 12);
        cairo_show_text(cr, label.c_str());
    }
    cairo_destroy(cr);
    const bool written = cairo_surface_write_to_png(sheet, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(sheet);
    return written;
}
