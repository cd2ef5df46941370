#include <gtest/gtest.h>

#include <string>

#include "editor/InstanceTabs.h"
#include "editor/VornInterface.h"
#include "editor/XyPad.h"
#include "editor/XyPadSection.h"
#include "engine/VornPlugin.h"
#include "framework/AbstractPluginParameter.h"
#include "framework/UndoHistory.h"
#include "gui/Modifiers.h"
#include "gui/OffscreenInterface.h"

namespace {

struct Gestures : GenericPluginInterface::HostEdits {
    std::string log;
    void beginEdit(int id) override { log += "b" + std::to_string(id); }
    void endEdit(int id) override { log += "e" + std::to_string(id); }
};

// A drag over the third pad moves both of its parameters as one action: one gesture per
// parameter for the host, one undo step; a double click centres the dot, again as one step.
TEST(XyPadTest, DragMovesBothAxesAsOneAction) {
    VornPlugin plugin;
    Gestures host;
    VornInterface editor(plugin, &host);
    gui::OffscreenInterface ui(editor);
    editor.expand(VornInterface::kXyPads);
    auto& section = static_cast<XyPadSection&>(editor.section(VornInterface::kXyPads));
    section.tabs().select(2);
    XyPad& pad = section.pad(2);
    AbstractPluginParameter* hor = plugin.getParameter(editor.parameterId("XY Controller 3 Hor"));
    AbstractPluginParameter* ver = plugin.getParameter(editor.parameterId("XY Controller 3 Ver"));
    const gui::Rect r = pad.rootBounds();
    const int steps = plugin.undoHistory().undoCount();

    // Press at the centre, drag beyond the top right corner: right is +1, up is +1.
    const int64_t t = 1000;
    editor.mousePressed({{r.x + r.width / 2, r.y + r.height / 2}, gui::modifier::kLeftButton, t});
    EXPECT_NEAR(hor->getValue(), 0.0f, 1e-3f);
    editor.mouseMoved(
        {{r.x + r.width * 3 / 4, r.y + r.height / 4}, gui::modifier::kLeftButton, t + 20});
    EXPECT_NEAR(hor->getValue(), 0.5f, 0.04f);
    EXPECT_NEAR(ver->getValue(), 0.5f, 0.04f);
    editor.mouseMoved({{r.right() + 30, r.y - 30}, gui::modifier::kLeftButton, t + 40});
    editor.mouseReleased({{r.right() + 30, r.y - 30}, 0, t + 60});
    EXPECT_EQ(hor->getValue(), 1.0f);
    EXPECT_EQ(ver->getValue(), 1.0f);
    EXPECT_EQ(plugin.undoHistory().undoCount(), steps + 1);
    const std::string h = std::to_string(hor->id()), v = std::to_string(ver->id());
    EXPECT_EQ(host.log, "b" + h + "b" + v + "e" + h + "e" + v);

    // The knobs beside the pad show the same parameters.
    editor.undo();
    EXPECT_EQ(hor->getValue(), 0.0f);
    EXPECT_EQ(ver->getValue(), 0.0f);
    editor.redo();
    EXPECT_EQ(pad.horizontal().value(), pad.horizontal().maximum());

    // Bottom left, then a double click there centres the dot.
    const gui::Point corner{r.x + 2, r.bottom() - 2};
    editor.mousePressed({corner, gui::modifier::kLeftButton, t + 2000});
    editor.mouseReleased({corner, 0, t + 2050});
    EXPECT_EQ(hor->getValue(), -1.0f);
    EXPECT_EQ(ver->getValue(), -1.0f);
    const int before = plugin.undoHistory().undoCount();
    editor.mousePressed({corner, gui::modifier::kLeftButton, t + 2100});
    editor.mouseReleased({corner, 0, t + 2150});
    EXPECT_EQ(hor->getValue(), 0.0f);
    EXPECT_EQ(ver->getValue(), 0.0f);
    EXPECT_EQ(plugin.undoHistory().undoCount(), before + 1);

    // Automation moves the dot at the next idle call.
    ver->setValue(-0.5f, 0);
    editor.idle();
    EXPECT_EQ(pad.vertical().value(), pad.vertical().maximum() / 4);
}

}  // namespace
