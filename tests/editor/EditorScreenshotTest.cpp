#include <gtest/gtest.h>

#include <string>

#include "editor/VornInterface.h"
#include "engine/VornPlugin.h"
#include "gui/OffscreenInterface.h"

namespace {

TEST(EditorScreenshotTest, Writes) {
    VornPlugin plugin;
    VornInterface editor(plugin);
    gui::OffscreenInterface ui(editor);
    for (int layout : {0, 1}) {
        editor.setLayout(layout);
        editor.expand(0);
        cairo_surface_write_to_png(ui.render(),
                                   ("/tmp/editor-" + std::to_string(layout) + ".png").c_str());
    }
}

}  // namespace
