#include "apps/vorn/PlayEditor.h"

#include <poll.h>

#include "editor/VornInterface.h"
#include "engine/VornPlugin.h"
#include "framework/GenericPlugin.h"
#include "gui/x11/X11Interface.h"

class PlayEditor::CloseWatch : public gui::UserInterface::Listener {
public:
    void interfaceClosing() override { closed = true; }
    bool closed = false;
};

PlayEditor::PlayEditor() : closeWatch_(std::make_unique<CloseWatch>()) {}

PlayEditor::~PlayEditor() {
    // The window refers to the editor's tree.
    window_.reset();
}

std::unique_ptr<PlayEditor> PlayEditor::open(VornPlugin& plugin, std::FILE* err) {
    std::unique_ptr<PlayEditor> play(new PlayEditor());
    play->editor_ = std::make_unique<VornInterface>(plugin);
    gui::x11::X11Interface::Options options;
    options.width = play->editor_->bounds().width;
    options.height = play->editor_->bounds().height;
    options.graphicsAcceleration = GenericPlugin::graphicsAcceleration();
    play->window_ = gui::x11::X11Interface::create(*play->editor_, options);
    if (!play->window_) {
        std::fprintf(err, "vorn play: the editor window cannot be opened; playing without it\n");
        return nullptr;
    }
    play->window_->setListener(play->closeWatch_.get());
    play->window_->show();
    return play;
}

bool PlayEditor::run(int timeoutMs) {
    pollfd fd{window_->connectionFd(), POLLIN, 0};
    poll(&fd, 1, timeoutMs);
    editor_->idle();
    window_->idle();
    return !closeWatch_->closed;
}
