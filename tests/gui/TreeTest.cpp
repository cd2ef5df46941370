#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "gui/Button.h"
#include "gui/Knob.h"
#include "gui/Modifiers.h"
#include "gui/OffscreenInterface.h"

namespace gui {
namespace {

constexpr uint32_t kLeft = modifier::kLeftButton;

// Writes down the edits of the controls it listens to, one letter each: b(egin) c(hange) e(nd).
struct EditLog : ValueControlListener {
    std::string log;
    void editBegan(ValueControl&) override { log += 'b'; }
    void valueChanged(ValueControl&) override { log += 'c'; }
    void editEnded(ValueControl&) override { log += 'e'; }
};

struct Window {
    RootControl root;
    OffscreenInterface ui{root};
    Knob* knob;
    EditLog edits;

    Window() {
        root.setBounds({0, 0, 200, 200});
        knob = &root.add<Knob>();
        knob->setBounds({50, 50, 40, 54});
        knob->setMaximum(4096);
        knob->setDefault(100);
        knob->addListener(&edits);
    }
    void press(int x, int y, int64_t t, uint32_t mods = kLeft) {
        root.mousePressed({{x, y}, mods, t});
    }
    void move(int x, int y, int64_t t, uint32_t mods = kLeft) {
        root.mouseMoved({{x, y}, mods, t});
    }
    void release(int x, int y, int64_t t) { root.mouseReleased({{x, y}, 0, t}); }
};

TEST(TreeTest, KnobGesturesThroughTheRoot) {
    Window w;
    // A click that moves 3 pixels changes nothing and records nothing.
    w.press(70, 70, 1000);
    w.move(70, 67, 1100);
    w.release(70, 67, 1150);
    EXPECT_EQ(w.edits.log, "");
    EXPECT_EQ(w.knob->value(), 0);

    // A fast drag upwards, leaving the knob and the window: one edit, 100 px = half the range.
    w.press(70, 70, 5000);
    for (int i = 1; i <= 10; ++i) w.move(70, 70 - 10 * i, 5000 + 20 * i);
    w.release(70, -30, 5300);
    EXPECT_EQ(w.edits.log.front(), 'b');
    EXPECT_EQ(w.edits.log.back(), 'e');
    EXPECT_EQ(std::count(w.edits.log.begin(), w.edits.log.end(), 'b'), 1);
    EXPECT_NEAR(w.knob->value(), 2048, 21);  // the click window swallows the first 10 pixels

    // A double click within 400 ms puts the default back as one edit; a slower one does not.
    w.edits.log.clear();
    w.press(70, 70, 9000);
    w.release(70, 70, 9050);
    w.press(71, 70, 9300);
    w.release(71, 70, 9350);
    EXPECT_EQ(w.knob->value(), 100);
    EXPECT_EQ(w.edits.log, "bce");
    w.knob->setValue(7);
    w.press(70, 70, 20000);
    w.release(70, 70, 20050);
    w.press(70, 70, 20000 + doubleClickTime() + 1);
    w.release(70, 70, 20000 + doubleClickTime() + 60);
    EXPECT_EQ(w.knob->value(), 7);

    // Wheel: one edit per notch; the right button goes to no knob.
    w.edits.log.clear();
    w.root.mouseWheeled({{70, 70}, 0, 30000, 0, 1});
    EXPECT_EQ(w.edits.log, "bce");
    EXPECT_EQ(w.knob->value(), 7 + 81);
    w.press(70, 70, 31000, modifier::kRightButton);
    w.move(70, 20, 31100, modifier::kRightButton);
    EXPECT_EQ(w.knob->value(), 7 + 81);
}

TEST(TreeTest, HoverCaptureAndRemoval) {
    Window w;
    int clicks = 0;
    auto& button = w.root.add<Button>("OK", [&] { ++clicks; });
    button.setBounds({120, 10, 60, 20});
    // Hover follows the mouse; the knob shows its value text while hovered.
    w.move(70, 70, 0, 0);
    EXPECT_TRUE(w.knob->hovered());
    EXPECT_TRUE(w.knob->showingValue());
    w.move(130, 15, 10, 0);
    EXPECT_FALSE(w.knob->hovered());
    EXPECT_TRUE(button.hovered());
    // A press on the button released outside it is no click; inside it is.
    w.press(130, 15, 100);
    w.move(10, 190, 120);
    w.release(10, 190, 130);
    EXPECT_EQ(clicks, 0);
    w.press(130, 15, 1000);
    w.release(131, 16, 1010);
    EXPECT_EQ(clicks, 1);

    // The captured control goes away mid-drag: the rest of the drag goes nowhere.
    w.press(70, 70, 10000);
    w.move(70, 40, 10020);
    w.root.release(w.knob);
    w.move(70, 10, 10040);
    w.release(70, 10, 10060);
    EXPECT_EQ(w.root.captured(), nullptr);
    EXPECT_EQ(w.root.hovered(), nullptr);
}

TEST(TreeTest, DirtyRegionsAndPartialRedraws) {
    Window w;
    cairo_surface_t* full = w.ui.render();
    const int stride = cairo_image_surface_get_stride(full);
    std::vector<unsigned char> before(cairo_image_surface_get_data(full),
                                      cairo_image_surface_get_data(full) + stride * 200);
    EXPECT_FALSE(w.root.dirty());

    // A change marks only the knob, and the partial redraw equals a full one.
    w.knob->setValue(3000);
    const auto region = w.root.takeDirtyRegion();
    ASSERT_EQ(region.size(), 1u);
    EXPECT_EQ(region[0], (Rect{50, 50, 40, 54}));
    w.root.invalidate(region[0]);
    cairo_surface_t* partial = w.ui.render();
    const unsigned char* p = cairo_image_surface_get_data(partial);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) {
            if (!Rect{50, 50, 40, 54}.contains({x, y})) {
                ASSERT_EQ(
                    std::memcmp(p + y * stride + 4 * x, before.data() + y * stride + 4 * x, 4), 0);
            }
        }
    const std::vector<unsigned char> partialPixels(p, p + stride * 200);
    w.root.invalidate(w.root.localBounds());
    const unsigned char* redrawn = cairo_image_surface_get_data(w.ui.render());
    EXPECT_TRUE(std::equal(partialPixels.begin(), partialPixels.end(), redrawn));

    // Many small changes merge into one rectangle around them all; contained ones vanish.
    for (int i = 0; i < RootControl::kMaxDirtyRects + 1; ++i)
        w.root.invalidate({i * 20, i * 10, 5, 5});
    w.root.invalidate({0, 0, 2, 2});
    const auto merged = w.root.takeDirtyRegion();
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(merged[0], (Rect{0, 0, 8 * 20 + 5, 8 * 10 + 5}));
}

}  // namespace
}  // namespace gui
