#include <gtest/gtest.h>

#include "editor/GenericPluginInterface.h"
#include "framework/UndoHistory.h"
#include "gui/Knob.h"
#include "tests/editor/EditorRig.h"

namespace {

struct Editor {
    VornPlugin plugin;
    Gestures host;
    GenericPluginInterface editor{plugin, &host};
    gui::OffscreenInterface ui{editor};
    gui::Knob* knob;
    AbstractPluginParameter* freq;

    Editor() {
        editor.setBounds({0, 0, 200, 200});
        knob = &editor.add<gui::Knob>();
        knob->setBounds({10, 10, 40, 54});
        editor.bind(*knob, "Filter 1 Freq");
        freq = plugin.getParameter(editor.parameterId("Filter 1 Freq"));
    }
    // A fast upward drag of `pixels` starting at the knob, events 20 ms apart.
    void drag(int pixels, int64_t start) {
        editor.mousePressed({{30, 30}, gui::modifier::kLeftButton, start});
        for (int i = 1; i <= pixels / 10; ++i)
            editor.mouseMoved({{30, 30 + 10 * i}, gui::modifier::kLeftButton, start + 20 * i});
        editor.mouseReleased({{30, 30 + pixels}, 0, start + 20 * (pixels / 10) + 20});
    }
};

TEST(GenericPluginInterfaceTest, DragsUndoRedoAndCompare) {
    Editor e;
    const float start = e.freq->getValue();
    EXPECT_EQ(e.knob->valueText(), e.freq->formatValue(start));
    EXPECT_FALSE(e.plugin.undoHistory().canUndo());

    // Down 100 pixels: the frequency falls, the host saw one gesture, one undo step.
    e.drag(100, 1000);
    const float lowered = e.freq->getValue();
    EXPECT_LT(lowered, start - 0.3f);
    const std::string id = std::to_string(e.freq->id());
    EXPECT_EQ(e.host.log, "b" + id + " e" + id + " ");
    EXPECT_EQ(e.plugin.undoHistory().undoCount(), 1);

    // Undo and redo restore exact values, and the knob follows.
    e.editor.undo();
    EXPECT_EQ(e.freq->getValue(), start);
    EXPECT_EQ(e.knob->value(), GenericPluginInterface::toSteps(*e.freq, start));
    e.editor.redo();
    EXPECT_EQ(e.freq->getValue(), lowered);

    // A/B: B starts as the state when the editor opened; switching back restores A exactly.
    e.editor.toggleCompare();
    EXPECT_EQ(e.freq->getValue(), start);
    e.editor.toggleCompare();
    EXPECT_EQ(e.freq->getValue(), lowered);

    // A change from elsewhere (automation, MIDI) reaches the knob at the next idle call.
    e.freq->setValue(e.freq->normalizedToPlain(0.25f), 0);
    e.editor.idle();
    EXPECT_EQ(e.knob->value(), GenericPluginInterface::kContinuousSteps / 4);
}

TEST(GenericPluginInterfaceTest, TypedValues) {
    Editor e;
    // The right-click menu's "Enter Value..." opens a text field; typing a value the parameter's
    // own parser reads, then Enter, sets it as one undo step.
    const float target = e.freq->normalizedToPlain(0.5f);
    const std::string text = e.freq->formatValue(target);
    e.editor.mousePressed({{30, 30}, gui::modifier::kRightButton, 100});
    e.editor.mouseReleased({{30, 30}, 0, 110});
    ASSERT_NE(e.editor.topOverlay(), nullptr);
    e.editor.keyPressed({gui::Key::Down, "", 0, 120});
    e.editor.keyPressed({gui::Key::Enter, "", 0, 130});
    for (char ch : text) e.editor.keyPressed({gui::Key::None, std::string(1, ch), 0, 140});
    e.editor.keyPressed({gui::Key::Enter, "", 0, 150});
    EXPECT_EQ(e.freq->formatValue(e.freq->getValue()), text);
    EXPECT_EQ(e.plugin.undoHistory().undoCount(), 1);
    // Text the parser cannot read changes nothing and records nothing.
    const float before = e.freq->getValue();
    EXPECT_FALSE(e.editor.typeValue(*e.knob, "apples"));
    EXPECT_EQ(e.freq->getValue(), before);
    EXPECT_EQ(e.plugin.undoHistory().undoCount(), 1);
}

}  // namespace
