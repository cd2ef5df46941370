#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "editor/VornInterface.h"
#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "gui/OffscreenInterface.h"

namespace {

// The largest difference of any channel of any pixel, or -1 when the sizes differ.
int largestDifference(cairo_surface_t* a, cairo_surface_t* b) {
    const int w = cairo_image_surface_get_width(a), h = cairo_image_surface_get_height(a);
    if (w != cairo_image_surface_get_width(b) || h != cairo_image_surface_get_height(b)) return -1;
    int worst = 0;
    for (int y = 0; y < h; ++y) {
        const auto* pa = cairo_image_surface_get_data(a) + y * cairo_image_surface_get_stride(a);
        const auto* pb = cairo_image_surface_get_data(b) + y * cairo_image_surface_get_stride(b);
        for (int i = 0; i < 4 * w; ++i) worst = std::max(worst, std::abs(pa[i] - pb[i]));
    }
    return worst;
}

struct Scene {
    const char* name;
    std::function<void(VornInterface&, VornPlugin&)> setUp;
};

// The pictures of the manual and the README double as golden images: the editor in both layouts,
// each section open, the preset menu and MIDI learn. VORN_UPDATE_GOLDEN=1 writes them anew.
TEST(EditorScreenshotTest, MatchesGoldenImages) {
    std::vector<Scene> scenes = {
        {"editor-short",
         [](VornInterface& e, VornPlugin&) { e.expand(VornInterface::kOscillators); }},
        {"editor-tall",
         [](VornInterface& e, VornPlugin&) {
             e.setLayout(1);
             e.expand(VornInterface::kFilters);
         }},
        {"editor-learn",
         [](VornInterface& e, VornPlugin&) {
             e.expand(VornInterface::kFilters);
             e.setLearning(true);
         }},
        {"editor-preset-menu",
         [](VornInterface& e, VornPlugin& p) {
             p.presets().restoreFactoryPresets();
             const gui::Rect r = e.presetBar().children()[2]->rootBounds();
             e.mousePressed({{r.x + 20, r.y + 10}, 8, 1000});
             e.mouseReleased({{r.x + 20, r.y + 10}, 0, 1010});
             // Over the first folder, which opens its submenu.
             e.mouseMoved({{r.x + 30, r.bottom() + 14}, 0, 1100});
         }},
    };
    // The oscillators are open in "editor-short".
    const char* sections[] = {"",          "filters",      "envelopes", "xlfos", "delay",
                              "followers", "midi-sources", "xy-pads",   "master"};
    for (int i = 1; i < VornInterface::kSectionCount; ++i)
        scenes.push_back({sections[i], [i](VornInterface& e, VornPlugin&) { e.expand(i); }});

    const bool update = std::getenv("VORN_UPDATE_GOLDEN") != nullptr;
    for (const Scene& scene : scenes) {
        SCOPED_TRACE(scene.name);
        VornPlugin plugin;
        VornInterface editor(plugin);
        gui::OffscreenInterface ui(editor);
        editor.setLayout(0);
        scene.setUp(editor, plugin);
        const std::string golden =
            std::string(VORN_DOCS_DIR) + "/screenshots/" +
            (std::string(scene.name).starts_with("editor") ? "" : "section-") + scene.name + ".png";
        cairo_surface_t* shot = ui.render();
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
