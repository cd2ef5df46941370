#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "Gallery.h"
#include "gui/OffscreenInterface.h"

namespace gui {
namespace {

TEST(ScreenshotTest, GalleryWrites) {
    test::Gallery g;
    for (float scale : {1.0f, 2.0f}) {
        OffscreenInterface ui(g, scale);
        cairo_surface_t* s = ui.render();
        const std::string path = "/tmp/gallery-" + std::to_string(int(scale)) + "x.png";
        cairo_surface_write_to_png(s, path.c_str());
    }
}

}  // namespace
}  // namespace gui
