#include <gtest/gtest.h>

#include "editor/ComponentButtons.h"
#include "editor/VornInterface.h"
#include "engine/VornPlugin.h"
#include "engine/VornSettings.h"
#include "gui/Dialog.h"
#include "gui/Label.h"
#include "gui/OffscreenInterface.h"

namespace {

TEST(EditorLayoutTest, SectionsLayoutsAndTheResizeMessage) {
    VornPlugin plugin;
    VornInterface editor(plugin);
    gui::OffscreenInterface ui(editor);
    auto& settings = static_cast<VornPlugin::VornSettings&>(plugin.settings());

    // One section open at a time, kept in "ExpandedSection"; the others show their titles only.
    editor.expand(VornInterface::kDelay);
    EXPECT_EQ(settings.expandedSection.get(), VornInterface::kDelay);
    editor.expand(VornInterface::kFilters);
    for (int i = 0; i < VornInterface::kSectionCount; ++i)
        EXPECT_EQ(editor.section(i).mode(), i == VornInterface::kFilters
                                                ? EditorSection::Mode::Full
                                                : EditorSection::Mode::Header);
    // Under the component buttons, sections stack without gaps or overlap and end within the
    // content area, whichever is open, in both layouts.
    for (int layout : {0, 1}) {
        ASSERT_TRUE(editor.setLayout(layout));
        for (int open = -1; open < VornInterface::kSectionCount; ++open) {
            editor.expand(open);
            int y = editor.componentButton(VornInterface::kComponentButtons - 1).bounds().bottom();
            EXPECT_GT(y, editor.contentArea().y);
            for (int i = 0; i < VornInterface::kSectionCount; ++i) {
                EXPECT_GE(editor.section(i).bounds().y, y);
                y = editor.section(i).bounds().bottom();
            }
            EXPECT_LE(y, editor.contentArea().bottom()) << "layout " << layout << " open " << open;
        }
    }
    editor.expand(VornInterface::kFilters);
    EXPECT_EQ(editor.bounds().height, VornPlugin::kEditorHeight);
    EXPECT_EQ(editor.section(VornInterface::kMaster).mode(), EditorSection::Mode::Compact);

    // A host that cannot resize: the setting holds, the size stays, the musician is told.
    ui.resizable = false;
    EXPECT_FALSE(editor.setLayout(0));
    EXPECT_EQ(settings.interfaceLayout.get(), 0);
    EXPECT_EQ(editor.bounds().height, VornPlugin::kEditorHeight);
    auto* box = dynamic_cast<gui::Dialog*>(editor.topOverlay());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->title(), "Information");
    ASSERT_FALSE(box->body().children().empty());
    auto* text = dynamic_cast<gui::Label*>(box->body().children()[0].get());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), VornInterface::kCannotResize);
}

}  // namespace
