#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "editor/aaxui/AaxEditor.h"
#include "framework/AbstractPluginParameter.h"
#include "gui/Knob.h"
#include "gui/Modifiers.h"
#include "gui/x11/X11Interface.h"
#include "gui/x11/Xlib.h"
#include "tests/gui/XvfbServer.h"
#include "tests/host/aax/AaxTestHost.h"

namespace {

struct NativeContainer : AAX_IViewContainer {
    unsigned long window = 0;
    bool hasWindow = false;

    void* GetPtr() override { return hasWindow ? &window : nullptr; }
    AAX_Result GetModifiers(uint32_t* m) const override {
        *m = 0;
        return AAX_SUCCESS;
    }
    AAX_Result HandleParameterMouseDown(AAX_CParamID, uint32_t) override {
        return AAX_ERROR_UNIMPLEMENTED;
    }
};

gui::Knob* firstKnob(gui::Component& c, gui::RootControl& root) {
    if (!c.visible()) return nullptr;
    if (auto* knob = dynamic_cast<gui::Knob*>(&c)) {
        const gui::Rect r = knob->rootBounds();
        if (r.width > 8 && root.hitTest({r.x + r.width / 2, r.y + r.height / 2}) == knob)
            return knob;
    }
    for (const auto& child : c.children()) {
        if (gui::Knob* k = firstKnob(*child, root)) return k;
    }
    return nullptr;
}

struct View {
    const RecordedEffect& effect = stereoEffect();
    AaxTestInstance host{effect};
    std::unique_ptr<AaxPluginEditor> view{dynamic_cast<AaxPluginEditor*>(effect.guiProc())};
    NativeContainer container;

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

// Without a native window the editor opens off screen; a knob drag reaches the host as one
// touch, normalized values and a release, and the host's answer sets the plug-in.
TEST(AaxEditorView, HeadlessEditorSendsGesturesToTheHost) {
    View v;
    v.view->SetViewContainer(&v.container);
    ASSERT_TRUE(v.view->hasEditor());
    int32_t width = 0, height = 0;
    ASSERT_EQ(v.view->GetViewSize(&width, &height), AAX_SUCCESS);
    EXPECT_EQ(width, v.host.plugin().editorWidth());
    EXPECT_EQ(height, v.host.plugin().editorHeight());

    auto* editor = dynamic_cast<AaxEditor*>(v.view->editor());
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->onScreen());
    VornInterface& ui = editor->editor();
    ui.expand(VornInterface::kOscillators);
    gui::Knob* knob = firstKnob(ui, ui);
    ASSERT_NE(knob, nullptr);
    const int id = ui.boundParameter(*knob);
    const gui::Rect k = knob->rootBounds();
    const gui::Point centre{k.x + k.width / 2, k.y + k.height / 2};
    const int step = knob->value() > 0 ? 6 : -6;

    auto& requests = v.host.controller().requests;
    requests.clear();
    ui.mousePressed({centre, gui::modifier::kLeftButton, 1000});
    for (int i = 1; i <= 5; ++i)
        ui.mouseMoved({{centre.x, centre.y + step * i}, gui::modifier::kLeftButton, 1000 + 20 * i});
    ui.mouseReleased({{centre.x, centre.y + step * 5}, 0, 1200});
    ASSERT_GE(requests.size(), 3u);
    EXPECT_EQ(requests.front().kind, 't');
    EXPECT_EQ(requests.back().kind, 'r');
    for (const auto& r : requests) EXPECT_EQ(r.identifier, std::to_string(id));
    const AbstractPluginParameter& p = *v.host.plugin().getParameter(id);
    EXPECT_NEAR(p.plainToNormalized(p.getValue()), requests[requests.size() - 2].value, 1e-6);

    // The host's timer drives the editor: an outside change shows in the knob.
    const int32_t shown = knob->value();
    v.host.plugin().getParameter(id)->setValue(p.getMinimum(), 0);
    EXPECT_EQ(v.view->TimerWakeup(), AAX_SUCCESS);
    EXPECT_NE(knob->value(), shown);
    v.view->SetViewContainer(nullptr);
    EXPECT_FALSE(v.view->hasEditor());
}

// With a native window (an X window id) the editor is its child on the display, and closing
// the view removes it.
TEST(AaxEditorView, EditorIsAChildOfTheNativeWindow) {
    if (!gui::test::XvfbServer::available()) GTEST_SKIP() << "Xvfb is not installed";
    gui::test::XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running());
    setenv("DISPLAY", xvfb.display().c_str(), 1);
    Display* display = XOpenDisplay(xvfb.display().c_str());
    ASSERT_NE(display, nullptr);
    const Window parent =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 200, 200, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);

    const auto countChildren = [&] {
        Window root = 0, up = 0;
        Window* children = nullptr;
        unsigned int n = 0;
        XQueryTree(display, parent, &root, &up, &children, &n);
        if (children) XFree(children);
        return n;
    };
    {
        View v;
        v.container.window = parent;
        v.container.hasWindow = true;
        v.view->SetViewContainer(&v.container);
        ASSERT_TRUE(v.view->hasEditor());
        for (int i = 0; i < 5; ++i) v.view->TimerWakeup();
        XSync(display, False);
        EXPECT_EQ(countChildren(), 1u);
        v.view->SetViewContainer(nullptr);
        XSync(display, False);
        EXPECT_EQ(countChildren(), 0u);

        // A window id that is not there leaves the view empty, not broken.
        v.container.window = parent + 0x1000;
        v.view->SetViewContainer(&v.container);
        EXPECT_FALSE(v.view->hasEditor());
    }
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
}
