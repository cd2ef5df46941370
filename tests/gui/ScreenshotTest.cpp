#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "gui/OffscreenInterface.h"
#include "tests/gui/Gallery.h"

namespace gui {
namespace {

// The largest difference of any channel of any pixel, or -1 when the sizes differ.
int largestDifference(cairo_surface_t* a, cairo_surface_t* b) {
    const int w = cairo_image_surface_get_width(a), h = cairo_image_surface_get_height(a);
    if (w != cairo_image_surface_get_width(b) || h != cairo_image_surface_get_height(b)) return -1;
    cairo_surface_flush(b);
    int worst = 0;
    for (int y = 0; y < h; ++y) {
        const auto* pa = cairo_image_surface_get_data(a) + y * cairo_image_surface_get_stride(a);
        const auto* pb = cairo_image_surface_get_data(b) + y * cairo_image_surface_get_stride(b);
        for (int i = 0; i < 4 * w; ++i) worst = std::max(worst, std::abs(pa[i] - pb[i]));
    }
    return worst;
}

// The software back end against the committed pictures; VORN_UPDATE_GOLDEN=1 writes them anew.
// Exact where the Cairo version is the one that made them, else within 1 per channel.
TEST(ScreenshotTest, GalleryMatchesGoldenImages) {
    test::Gallery g;
    const bool update = std::getenv("VORN_UPDATE_GOLDEN") != nullptr;
    for (int scale : {1, 2}) {
        OffscreenInterface ui(g, static_cast<float>(scale));
        g.invalidate(g.localBounds());
        cairo_surface_t* shot = ui.render();
        const std::string golden = std::string(VORN_DOCS_DIR) + "/screenshots/toolkit-gallery-" +
                                   std::to_string(scale) + "x.png";
        if (update) {
            ASSERT_EQ(cairo_surface_write_to_png(shot, golden.c_str()), CAIRO_STATUS_SUCCESS);
            continue;
        }
        cairo_surface_t* expected = cairo_image_surface_create_from_png(golden.c_str());
        ASSERT_EQ(cairo_surface_status(expected), CAIRO_STATUS_SUCCESS) << golden;
        const int worst = largestDifference(shot, expected);
        cairo_surface_destroy(expected);
        EXPECT_GE(worst, 0) << golden << ": size differs";
        EXPECT_LE(worst, 1) << golden
                            << ": run with VORN_UPDATE_GOLDEN=1 after a deliberate change";
    }
}

}  // namespace
}  // namespace gui
