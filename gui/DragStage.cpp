#include "gui/DragStage.h"

#include "gui/Palette.h"

namespace gui {

DragStage& DragManager::begin(RootControl& root, std::unique_ptr<DragObject> object,
                              Listener& listener, Point at) {
    return begin(root, std::make_unique<DragStage>(std::move(object), listener, at));
}

DragStage& DragManager::begin(RootControl& root, std::unique_ptr<DragStage> stage) {
    DragStage& s = *stage;
    s.setBounds(root.localBounds());
    root.pushOverlay(std::move(stage));
    if (UserInterface* ui = root.userInterface()) {
        s.previousHook_ = ui->mouseHook();
        ui->setMouseHook(&s);
    }
    s.repaint(s.object_->area(s.mouse_));
    return s;
}

DragStage::DragStage(std::unique_ptr<DragObject> object, DragManager::Listener& listener, Point at)
    : object_(std::move(object)), listener_(listener), mouse_(at) {}

DragStage::~DragStage() = default;

void DragStage::setHighlight(const Rect& r) {
    if (r == highlight_) return;
    // The frame is drawn 3 pixels outside; an empty side adds nothing.
    const auto frame = [](const Rect& x) { return x.empty() ? x : x.reduced(-3); };
    repaint(frame(highlight_).united(frame(r)));
    highlight_ = r;
}

void DragStage::paint(Graphics& g) {
    if (!highlight_.empty()) {
        g.fillRoundedRect(highlight_.reduced(-2), 4, palette::kModulation.withAlpha(0.18f));
        g.strokeRoundedRect(highlight_.reduced(-3), 4, 2, palette::kModulation);
    }
    object_->paint(g, mouse_);
}

bool DragStage::hookMouse(Kind kind, const MouseEvent& e) {
    if (done_) return false;
    if (kind == Kind::Drag || kind == Kind::Move) {
        repaint(object_->area(mouse_).united(object_->area(e.position)));
        mouse_ = e.position;
        listener_.dragMoved(*this, mouse_);
    } else if (kind == Kind::Up) {
        mouse_ = e.position;
        finish();
        listener_.dropped(*this, e.position);
        // Not consumed: the release still ends the capture of the control that began the drag.
        return false;
    }
    return true;
}

bool DragStage::keyDown(const KeyEvent& e) {
    if (e.key != Key::Escape || done_) return false;
    finish();
    listener_.dragCancelled(*this);
    return true;
}

void DragStage::finish() {
    done_ = true;
    RootControl* r = root();
    if (r && r->userInterface() && r->userInterface()->mouseHook() == this)
        r->userInterface()->setMouseHook(previousHook_);
    repaint(object_->area(mouse_));
    setHighlight({});
    close();
}

}  // namespace gui
