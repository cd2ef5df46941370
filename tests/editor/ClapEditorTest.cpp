// The editor in a CLAP host's window, under a private Xvfb: embedded at its size, driven by the
// host's timer, and an edit reaches the host as a gesture around the new value; a tuning chosen in
// it marks the host's state dirty.

#include <gtest/gtest.h>

#if defined(VORN_CLAP_MODULE)

#include <clap/ext/gui.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "editor/MasterSection.h"
#include "editor/TuningButton.h"
#include "editor/VornInterface.h"
#include "engine/VornPlugin.h"
#include "gui/Modifiers.h"
#include "gui/PopupMenu.h"
#include "gui/x11/Xlib.h"
#include "tests/editor/EditorRig.h"
#include "tests/engine/ProgramRun.h"
#include "tests/gui/XvfbServer.h"
#include "tests/host/clap/ClapTestHost.h"

namespace {

double varied(const std::vector<uint32_t>& pixels) {
    std::map<uint32_t, size_t> counts;
    size_t most = 0;
    for (const uint32_t px : pixels) most = std::max(most, ++counts[px]);
    return pixels.empty() ? 0.0 : 1.0 - static_cast<double>(most) / pixels.size();
}

}  // namespace

TEST(ClapEditor, EmbedsDrawsAndTellsTheHostOfEdits) {
    if (!gui::test::XvfbServer::available()) GTEST_SKIP() << "Xvfb is not installed";
    ScratchFolder config;
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    gui::test::XvfbServer xvfb({"-screen", "0", "1280x1200x24"});
    ASSERT_TRUE(xvfb.running());
    setenv("DISPLAY", xvfb.display().c_str(), 1);
    Display* display = XOpenDisplay(xvfb.display().c_str());
    ASSERT_NE(display, nullptr);
    const Window parent =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 100, 100, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);

    VornPlugin reference;
    VornInterface layout(reference);
    const gui::Rect all = layout.bounds();
    {
        ClapTestInstance clap(VORN_CLAP_MODULE, 48000);
        const auto* g = clap.extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
        ASSERT_NE(g, nullptr);
        const clap_plugin_t* p = clap.plugin();
        EXPECT_TRUE(g->is_api_supported(p, CLAP_WINDOW_API_X11, false));
        EXPECT_FALSE(g->is_api_supported(p, CLAP_WINDOW_API_X11, true));
        EXPECT_FALSE(g->is_api_supported(p, CLAP_WINDOW_API_WAYLAND, false));
        ASSERT_TRUE(g->create(p, CLAP_WINDOW_API_X11, false));
        EXPECT_EQ(clap.timers(), 1u);
        ASSERT_TRUE(g->set_scale(p, 1.0));
        uint32_t width = 0, height = 0;
        ASSERT_TRUE(g->get_size(p, &width, &height));
        EXPECT_EQ(width, static_cast<uint32_t>(all.width));
        EXPECT_EQ(height, static_cast<uint32_t>(all.height));
        EXPECT_FALSE(g->can_resize(p));
        clap_gui_resize_hints_t hints{true, true, true, 0, 0};
        ASSERT_TRUE(g->get_resize_hints(p, &hints));
        EXPECT_FALSE(hints.can_resize_horizontally || hints.can_resize_vertically ||
                     hints.preserve_aspect_ratio);
        // As a host does: its window at the editor's size.
        XResizeWindow(display, parent, width, height);
        clap_window_t window{CLAP_WINDOW_API_X11, {}};
        window.x11 = parent;
        ASSERT_TRUE(g->set_parent(p, &window));
        ASSERT_TRUE(g->show(p));

        Window child = 0;
        const auto drawn = [&] {
            Window root = 0, up = 0, *children = nullptr;
            unsigned count = 0;
            XQueryTree(display, parent, &root, &up, &children, &count);
            if (count > 0) child = children[0];
            if (children) XFree(children);
            return child && varied(gui::test::windowPixels(display, child, all)) > 0.2;
        };
        for (int i = 0; i < 400 && !drawn(); ++i) {
            clap.tick();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(drawn());

        // xdotool on the real window while the host's timer keeps firing; the same clicks on
        // `layout` tell where things are.
        const auto xdotool = [&](const std::string& commands) {
            std::atomic<int> status{-2};
            std::thread run([&] { status = runShell("xdotool " + commands).status; });
            while (status == -2) {
                clap.tick();
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            run.join();
            for (int i = 0; i < 20; ++i) clap.tick();
            return status.load();
        };
        const auto at = [](gui::Point p) {
            return std::to_string(p.x) + " " + std::to_string(p.y);
        };
        int64_t time = 1000;
        const auto click = [&](gui::Point p) {
            layout.mousePressed({p, gui::modifier::kLeftButton, time += 1000});
            layout.mouseReleased({p, 0, time += 50});
            return "mousemove " + at(p) + " click 1 sleep 0.3 ";
        };
        const auto titleOf = [&](int section) {
            const gui::Rect r = layout.section(section).rootBounds();
            return gui::Point{r.x + 60, r.y + 8};
        };

        // Open the oscillators' panel, then drag a knob.
        std::string drag = click(titleOf(VornInterface::kOscillators));
        gui::Knob* knob = reachableKnob(layout, layout);
        ASSERT_NE(knob, nullptr);
        const int id = layout.boundParameter(*knob);
        const gui::Point k = EditorRig::centre(knob->rootBounds());
        const int step = knob->value() > 0 ? 8 : -8;
        drag += "mousemove " + at(k) + " mousedown 1";
        for (int i = 1; i <= 6; ++i) drag += " sleep 0.03 mousemove " + at({k.x, k.y + step * i});
        ASSERT_EQ(xdotool(drag + " mouseup 1"), 0);

        std::vector<float> left(256), right(256);
        clap.process(256, left.data(), right.data());
        std::vector<uint16_t> types;
        for (const auto& r : clap.reported()) {
            if (r.id == static_cast<clap_id>(id)) types.push_back(r.type);
        }
        ASSERT_GE(types.size(), 3u) << "the drag reached no parameter";
        EXPECT_EQ(types.front(), CLAP_EVENT_PARAM_GESTURE_BEGIN);
        EXPECT_EQ(types[1], CLAP_EVENT_PARAM_VALUE);
        EXPECT_EQ(types.back(), CLAP_EVENT_PARAM_GESTURE_END);
        EXPECT_NE(clap.value(static_cast<clap_id>(id)), reference.getParameter(id)->getValue());

        // Equal temperament chosen in the master section's tuning menu: the host hears that the
        // state changed beyond the parameters.
        std::string choose = click(titleOf(VornInterface::kMaster));
        auto& master = static_cast<MasterSection&>(layout.section(VornInterface::kMaster));
        choose += click(EditorRig::centre(master.tuning().rootBounds()));
        auto* menu = dynamic_cast<gui::PopupMenu*>(layout.topOverlay());
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(xdotool(choose + click(EditorRig::centre(menu->itemBounds(0, 3)))), 0);
        EXPECT_EQ(clap.dirtyMarks(), 1);

        g->destroy(p);
        EXPECT_EQ(clap.timers(), 0u);
    }
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
}

#endif
