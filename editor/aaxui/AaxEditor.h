#pragma once

#include <memory>

#include "editor/VornInterface.h"
#include "gui/UserInterface.h"
#include "host/aax/AaxPluginEditor.h"

// The synthesizer's editor inside the host-SDK view: a child X11 window of the view's native
// window, or an off-screen one when the view has none (a host without a display). Gestures go to
// the host by parameter, so that its automation records them.
class AaxEditor : public AaxPluginEditor::Editor, private GenericPluginInterface::HostEdits {
public:
    // Makes every view of the process open this editor.
    static void install();
    // The factory: nativeWindow points to the parent's X window id (unsigned long), or is null.
    static std::unique_ptr<AaxPluginEditor::Editor> make(VornPlugin& plugin, void* nativeWindow,
                                                         AaxPluginEditor& view);

    AaxEditor(VornPlugin& plugin, AaxPluginEditor& view);
    ~AaxEditor() override;

    int width() const override { return editor_.bounds().width; }
    int height() const override { return editor_.bounds().height; }
    void idle() override;

    VornInterface& editor() { return editor_; }
    gui::UserInterface& window() { return *window_; }
    bool onScreen() const { return onScreen_; }

private:
    bool open(unsigned long parent);

    void beginEdit(int id) override { view_.touchParameter(id); }
    void valueEdited(int id, float plain) override;
    void endEdit(int id) override { view_.releaseParameter(id); }

    AaxPluginEditor& view_;
    VornInterface editor_;
    std::unique_ptr<gui::UserInterface> window_;
    bool onScreen_ = false;
};
