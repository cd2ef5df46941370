#include "editor/aaxui/AaxEditor.h"

#include "engine/VornPlugin.h"
#include "framework/AbstractPluginParameter.h"
#include "framework/GenericPlugin.h"
#include "gui/OffscreenInterface.h"
#include "gui/x11/X11Interface.h"

void AaxEditor::install() {
    AaxPluginEditor::setEditorFactory(&AaxEditor::make);
}

std::unique_ptr<AaxPluginEditor::Editor> AaxEditor::make(VornPlugin& plugin, void* nativeWindow,
                                                         AaxPluginEditor& view) {
    auto editor = std::make_unique<AaxEditor>(plugin, view);
    const unsigned long parent = nativeWindow ? *static_cast<unsigned long*>(nativeWindow) : 0;
    if (!editor->open(parent)) return nullptr;
    return editor;
}

AaxEditor::AaxEditor(VornPlugin& plugin, AaxPluginEditor& view)
    : view_(view), editor_(plugin, this) {}

AaxEditor::~AaxEditor() {
    // The window refers to the editor's tree.
    window_.reset();
}

bool AaxEditor::open(unsigned long parent) {
    if (parent != 0) {
        gui::x11::X11Interface::Options options;
        options.parent = parent;
        options.width = width();
        options.height = height();
        options.graphicsAcceleration = GenericPlugin::graphicsAcceleration();
        window_ = gui::x11::X11Interface::create(editor_, options);
        onScreen_ = window_ != nullptr;
        // A parent that cannot be used leaves no editor rather than an invisible one.
        return onScreen_;
    }
    window_ = std::make_unique<gui::OffscreenInterface>(editor_);
    return true;
}

void AaxEditor::idle() {
    editor_.idle();
    if (onScreen_) static_cast<gui::x11::X11Interface&>(*window_).idle();
}

// The host takes normalized values.
void AaxEditor::valueEdited(int id, float plain) {
    const AbstractPluginParameter* p = editor_.plugin().getParameter(id);
    if (p) view_.setParameterValue(id, p->plainToNormalized(plain));
}
