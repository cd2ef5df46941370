#include <gtest/gtest.h>

#include "gui/OffscreenInterface.h"

namespace gui {
namespace {

TEST(TreeTest, Placeholder) {
    RootControl root;
    root.setBounds({0, 0, 100, 50});
    OffscreenInterface ui(root);
    EXPECT_NE(ui.render(), nullptr);
}

}  // namespace
}  // namespace gui
