#pragma once

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace gui::test {

// Compares a picture with its committed golden image: exactly, or within 1 per channel where the
// Cairo version differs from the one that made it. VORN_UPDATE_GOLDEN=1 writes the image anew.
inline void expectGolden(cairo_surface_t* shot, const std::string& golden) {
    if (std::getenv("VORN_UPDATE_GOLDEN")) {
        ASSERT_EQ(cairo_surface_write_to_png(shot, golden.c_str()), CAIRO_STATUS_SUCCESS);
        return;
    }
    cairo_surface_t* expected = cairo_image_surface_create_from_png(golden.c_str());
    ASSERT_EQ(cairo_surface_status(expected), CAIRO_STATUS_SUCCESS) << golden;
    const int w = cairo_image_surface_get_width(shot), h = cairo_image_surface_get_height(shot);
    int worst = -1;
    if (w == cairo_image_surface_get_width(expected) &&
        h == cairo_image_surface_get_height(expected)) {
        worst = 0;
        for (int y = 0; y < h; ++y) {
            const auto* a =
                cairo_image_surface_get_data(shot) + y * cairo_image_surface_get_stride(shot);
            const auto* b = cairo_image_surface_get_data(expected) +
                            y * cairo_image_surface_get_stride(expected);
            for (int i = 0; i < 4 * w; ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
        }
    }
    cairo_surface_destroy(expected);
    EXPECT_GE(worst, 0) << golden << ": size differs";
    EXPECT_LE(worst, 1) << golden << ": run with VORN_UPDATE_GOLDEN=1 after a deliberate change";
}

}  // namespace gui::test
