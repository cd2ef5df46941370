#include <gtest/gtest.h>

#include "editor/InstanceTabs.h"
#include "editor/XyPad.h"
#include "editor/XyPadSection.h"
#include "framework/UndoHistory.h"
#include "tests/editor/EditorRig.h"

namespace {

// The third pad of the open XY section, and its two parameters.
struct Pad : EditorRig {
    XyPad* pad;
    AbstractPluginParameter* hor;
    AbstractPluginParameter* ver;
    gui::Rect r;
    std::string both;  // the host's log of one gesture over both

    Pad() {
        editor.expand(VornInterface::kXyPads);
        auto& section = static_cast<XyPadSection&>(editor.section(VornInterface::kXyPads));
        section.tabs().select(2);
        pad = &section.pad(2);
        hor = &parameter("XY Controller 3 Hor");
        ver = &parameter("XY Controller 3 Ver");
        r = pad->rootBounds();
        const std::string h = std::to_string(hor->id()), v = std::to_string(ver->id());
        both = "b" + h + " b" + v + " e" + h + " e" + v + " ";
    }
    int undoSteps() { return plugin.undoHistory().undoCount(); }
};

// A drag moves both parameters as one action: one gesture per parameter for the host, one undo
// step. Right and up are +1; the dot stays inside the pad when the mouse leaves it.
TEST(XyPadTest, DragMovesBothAxesAsOneAction) {
    Pad p;
    const int steps = p.undoSteps();
    const gui::Rect& r = p.r;
    p.editor.mousePressed({{r.x + r.width / 2, r.y + r.height / 2}, gui::modifier::kLeftButton, 0});
    EXPECT_NEAR(p.hor->getValue(), 0.0f, 1e-3f);
    p.editor.mouseMoved(
        {{r.x + r.width * 3 / 4, r.y + r.height / 4}, gui::modifier::kLeftButton, 20});
    EXPECT_NEAR(p.hor->getValue(), 0.5f, 0.04f);
    EXPECT_NEAR(p.ver->getValue(), 0.5f, 0.04f);
    p.editor.mouseMoved({{r.right() + 30, r.y - 30}, gui::modifier::kLeftButton, 40});
    p.editor.mouseReleased({{r.right() + 30, r.y - 30}, 0, 60});
    EXPECT_EQ(p.hor->getValue(), 1.0f);
    EXPECT_EQ(p.ver->getValue(), 1.0f);
    EXPECT_EQ(p.undoSteps(), steps + 1);
    EXPECT_EQ(p.host.log, p.both);

    p.editor.undo();
    EXPECT_EQ(p.hor->getValue(), 0.0f);
    EXPECT_EQ(p.ver->getValue(), 0.0f);
    p.editor.redo();
    EXPECT_EQ(p.pad->horizontal().value(), p.pad->horizontal().maximum());

    // Automation moves the dot at the next idle call.
    p.ver->setValue(-0.5f, 0);
    p.editor.idle();
    EXPECT_EQ(p.pad->vertical().value(), p.pad->vertical().maximum() / 4);
}

// A double click centres the dot as one action; a click on the dot records nothing.
TEST(XyPadTest, DoubleClickCentresAndAClickOnTheDotRecordsNothing) {
    Pad p;
    const gui::Point corner{p.r.x + 2, p.r.bottom() - 2};
    p.click(corner);
    EXPECT_EQ(p.hor->getValue(), -1.0f);
    EXPECT_EQ(p.ver->getValue(), -1.0f);
    const int steps = p.undoSteps();
    p.host.log.clear();
    p.click(corner, 100);
    EXPECT_EQ(p.hor->getValue(), 0.0f);
    EXPECT_EQ(p.ver->getValue(), 0.0f);
    EXPECT_EQ(p.undoSteps(), steps + 1);
    EXPECT_EQ(p.host.log, p.both);

    const gui::Point third{p.r.x + p.r.width / 3, p.r.y + p.r.height / 3};
    p.click(third);
    const std::string log = p.host.log;
    p.click(third);
    EXPECT_EQ(p.undoSteps(), steps + 2);
    EXPECT_EQ(p.host.log, log);
}

}  // namespace
