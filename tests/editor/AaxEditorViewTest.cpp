#include <gtest/gtest.h>

#include <string>

#include "editor/aaxui/AaxEditor.h"
#include "tests/editor/EditorRig.h"
#include "tests/host/aax/AaxTestHost.h"

namespace {

// A view container without a native window: a host without a display.
struct Container : AAX_IViewContainer {
    void* GetPtr() override { return nullptr; }
    AAX_Result GetModifiers(uint32_t* m) const override { return keep(*m, 0u); }
    AAX_Result HandleParameterMouseDown(AAX_CParamID, uint32_t) override {
        return AAX_ERROR_UNIMPLEMENTED;
    }
};

struct View {
    const RecordedEffect& effect = stereoEffect();
    AaxTestInstance host{effect};
    std::unique_ptr<AaxPluginEditor> view{dynamic_cast<AaxPluginEditor*>(effect.guiProc())};
    Container container;

    View() {
        AaxEditor::install();
        view->Initialize(&host.adapter());
    }
    ~View() {
        view->SetViewContainer(nullptr);
        AaxPluginEditor::setEditorFactory(nullptr);
    }
};

}  // namespace

// Without a native window the editor opens off screen at the plug-in's size; a knob drag reaches
// the host as a touch, normalized values and a release; the host's timer makes the knob follow.
TEST(AaxEditorView, HeadlessEditorSendsGesturesToTheHost) {
    View v;
    v.view->SetViewContainer(&v.container);
    auto* editor = dynamic_cast<AaxEditor*>(v.view->editor());
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->onScreen());
    int32_t width = 0, height = 0;
    ASSERT_EQ(v.view->GetViewSize(&width, &height), AAX_SUCCESS);
    EXPECT_EQ(width, v.host.plugin().editorWidth());
    EXPECT_EQ(height, v.host.plugin().editorHeight());

    VornInterface& ui = editor->editor();
    ui.expand(VornInterface::kOscillators);
    gui::Knob* knob = reachableKnob(ui, ui);
    ASSERT_NE(knob, nullptr);
    const int id = ui.boundParameter(*knob);
    const gui::Rect k = knob->rootBounds();
    const int x = k.x + k.width / 2, y = k.y + k.height / 2;
    const int step = knob->value() > 0 ? 6 : -6;  // down, or up from the bottom
    auto& requests = v.host.controller().requests;
    requests.clear();
    ui.mousePressed({{x, y}, gui::modifier::kLeftButton, 1000});
    for (int i = 1; i <= 5; ++i)
        ui.mouseMoved({{x, y + step * i}, gui::modifier::kLeftButton, 1000 + 20 * i});
    ui.mouseReleased({{x, y + step * 5}, 0, 1200});
    ASSERT_GE(requests.size(), 3u);
    EXPECT_EQ(requests.front().kind, 't');
    EXPECT_EQ(requests.back().kind, 'r');
    for (const auto& r : requests) EXPECT_EQ(r.identifier, std::to_string(id));
    AbstractPluginParameter& p = *v.host.plugin().getParameter(id);
    EXPECT_NEAR(p.plainToNormalized(p.getValue()), requests[requests.size() - 2].value, 1e-6);

    const int32_t shown = knob->value();
    p.setValue(p.getMinimum(), 0);
    EXPECT_EQ(v.view->TimerWakeup(), AAX_SUCCESS);
    EXPECT_NE(knob->value(), shown);
}
