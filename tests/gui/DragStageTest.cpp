#include <gtest/gtest.h>

#include "gui/DragStage.h"
#include "gui/Modifiers.h"
#include "gui/OffscreenInterface.h"
#include "gui/Palette.h"

namespace gui {
namespace {

// A source that starts a drag once the mouse has moved 5 pixels, as modulation sources do.
struct Source : Control, DragManager::Listener {
    struct Picture : DragObject {
        void paint(Graphics& g, Point m) override { g.fillRect(area(m), palette::kModulation); }
        Rect area(Point m) const override { return {m.x - 4, m.y - 4, 8, 8}; }
    };
    Point press;
    DragStage* stage = nullptr;
    std::vector<Point> moves;
    Point dropAt{-1, -1};
    bool cancelled = false;
    int releases = 0;

    bool mouseDown(const MouseEvent& e) override {
        press = e.position;
        return true;
    }
    void mouseDrag(const MouseEvent& e) override {
        if (stage || (std::abs(e.position.x - press.x) < 5 && std::abs(e.position.y - press.y) < 5))
            return;
        stage =
            &DragManager::begin(*root(), std::make_unique<Picture>(), *this, toRoot(e.position));
    }
    void mouseUp(const MouseEvent&) override { ++releases; }
    void dragMoved(DragStage& s, Point at) override {
        moves.push_back(at);
        s.setHighlight(at.x > 100 ? Rect{100, 0, 50, 50} : Rect{});
    }
    void dropped(DragStage&, Point at) override { dropAt = at; }
    void dragCancelled(DragStage&) override { cancelled = true; }
};

TEST(DragStageTest, FollowsTheMouseDropsAndCancels) {
    RootControl root;
    root.setBounds({0, 0, 200, 100});
    OffscreenInterface ui(root);
    auto& source = root.add<Source>();
    source.setBounds({10, 10, 20, 20});
    const uint32_t left = modifier::kLeftButton;

    // Under 5 pixels it stays a click: no stage.
    root.mousePressed({{15, 15}, left, 0});
    root.mouseMoved({{18, 18}, left, 10});
    EXPECT_EQ(root.topOverlay(), nullptr);
    // Beyond, the stage covers the window and follows the mouse through the hook, while the
    // source keeps its capture; only the changed areas are redrawn.
    root.mouseMoved({{40, 40}, left, 20});
    ASSERT_NE(source.stage, nullptr);
    EXPECT_EQ(root.topOverlay(), source.stage);
    root.takeDirtyRegion();
    root.mouseMoved({{120, 40}, left, 30});
    EXPECT_EQ(source.moves.back(), (Point{120, 40}));
    EXPECT_EQ(source.stage->highlight(), (Rect{100, 0, 50, 50}));
    Rect dirty;
    for (const Rect& r : root.takeDirtyRegion()) dirty = dirty.united(r);
    EXPECT_EQ(dirty, (Rect{36, 0, 117, 53}));
    // The release drops where the mouse is, ends the stage and still reaches the source.
    root.mouseReleased({{130, 45}, 0, 40});
    EXPECT_EQ(source.dropAt, (Point{130, 45}));
    EXPECT_EQ(source.releases, 1);
    EXPECT_EQ(root.topOverlay(), nullptr);
    EXPECT_EQ(ui.mouseHook(), nullptr);

    // Escape cancels a drag.
    source.stage = nullptr;
    root.mousePressed({{15, 15}, left, 1000});
    root.mouseMoved({{60, 60}, left, 1010});
    ASSERT_NE(source.stage, nullptr);
    EXPECT_TRUE(root.keyPressed({Key::Escape, "", 0, 1020}));
    EXPECT_TRUE(source.cancelled);
    EXPECT_EQ(root.topOverlay(), nullptr);
    root.mouseReleased({{60, 60}, 0, 1030});
    EXPECT_EQ(source.dropAt, (Point{130, 45}));
}

}  // namespace
}  // namespace gui
