#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "gui/OffscreenInterface.h"
#include "tests/gui/Gallery.h"
#include "tests/gui/GoldenImage.h"

namespace gui {
namespace {

// The software back end against the committed pictures; VORN_UPDATE_GOLDEN=1 writes them anew.
// Exact where the Cairo version is the one that made them, else within 1 per channel.
TEST(ScreenshotTest, GalleryMatchesGoldenImages) {
    test::Gallery g;
    for (int scale : {1, 2}) {
        OffscreenInterface ui(g, static_cast<float>(scale));
        g.invalidate(g.localBounds());
        cairo_surface_t* shot = ui.render();
        test::expectGolden(shot, std::string(VORN_DOCS_DIR) + "/screenshots/toolkit-gallery-" +
                                     std::to_string(scale) + "x.png");
    }
}

}  // namespace
}  // namespace gui
