#include "gui/RootControl.h"

#include <algorithm>
#include <cstdlib>

#include "gui/Clock.h"
#include "gui/Modifiers.h"

namespace gui {
namespace {

MouseEvent local(const MouseEvent& e, const Component* c) {
    return e.at(c->fromRoot(e.position));
}

}  // namespace

RootControl::RootControl() = default;

RootControl::~RootControl() {
    overlays_.clear();
    removeAllChildren();
}

Component* RootControl::target(Point p) {
    for (auto it = overlays_.rbegin(); it != overlays_.rend(); ++it) {
        Overlay* o = it->get();
        if (!o->visible()) continue;
        if (Component* hit = o->hitTest(o->fromRoot(p))) return hit;
        if (o->modal()) return o;
    }
    return Component::hitTest(p);
}

Component* RootControl::hitTest(Point p) {
    return target(p);
}

void RootControl::setHovered(Component* c, const MouseEvent& e) {
    if (c != hovered_) {
        if (hovered_) hovered_->mouseLeave();
        hovered_ = c;
        if (hovered_) hovered_->mouseEnter();
    }
    if (hovered_) hovered_->mouseMove(local(e, hovered_));
}

void RootControl::mousePressed(const MouseEvent& event) {
    eventClock().set(event.time);
    MouseEvent e = event;
    const bool sameButton = (e.modifiers & lastPress_.modifiers & 56) != 0;
    const bool doubleClick =
        havePress_ && sameButton && e.time - lastPress_.time <= doubleClickTime() &&
        std::abs(e.position.x - lastPress_.position.x) <= kDoubleClickDistance &&
        std::abs(e.position.y - lastPress_.position.y) <= kDoubleClickDistance;
    if (doubleClick) e.modifiers |= modifier::kDoubleClick;
    // A third press starts over rather than making another double click.
    havePress_ = !doubleClick;
    lastPress_ = e;

    UserInterface::MouseHook* hook = interface_ ? interface_->mouseHook() : nullptr;
    if (hook && hook->hookMouse(UserInterface::MouseHook::Kind::Down, e)) return;
    Component* c = target(e.position);
    if (focus_ && focus_ != c) setFocus(nullptr);
    for (; c; c = c->parent()) {
        const MouseEvent le = local(e, c);
        if (doubleClick ? c->mouseDoubleClick(le) : c->mouseDown(le)) {
            captured_ = c;
            return;
        }
    }
}

void RootControl::mouseMoved(const MouseEvent& e) {
    eventClock().set(e.time);
    UserInterface::MouseHook* hook = interface_ ? interface_->mouseHook() : nullptr;
    const bool dragging = captured_ != nullptr;
    using Kind = UserInterface::MouseHook::Kind;
    if (hook && hook->hookMouse(dragging ? Kind::Drag : Kind::Move, e)) return;
    if (captured_) {
        captured_->mouseDrag(local(e, captured_));
        return;
    }
    setHovered(target(e.position), e);
}

void RootControl::mouseReleased(const MouseEvent& e) {
    eventClock().set(e.time);
    UserInterface::MouseHook* hook = interface_ ? interface_->mouseHook() : nullptr;
    if (hook && hook->hookMouse(UserInterface::MouseHook::Kind::Up, e)) return;
    Component* c = captured_;
    captured_ = nullptr;
    if (c) c->mouseUp(local(e, c));
    setHovered(target(e.position), e);
}

void RootControl::mouseWheeled(const MouseEvent& e) {
    eventClock().set(e.time);
    UserInterface::MouseHook* hook = interface_ ? interface_->mouseHook() : nullptr;
    if (hook && hook->hookMouse(UserInterface::MouseHook::Kind::Wheel, e)) return;
    for (Component* c = target(e.position); c; c = c->parent())
        if (c->mouseWheel(local(e, c))) return;
}

void RootControl::mouseExited() {
    if (!captured_ && hovered_) {
        hovered_->mouseLeave();
        hovered_ = nullptr;
    }
}

bool RootControl::keyPressed(const KeyEvent& e) {
    eventClock().set(e.time);
    if (Overlay* top = topOverlay(); top && top->keyDown(e)) return true;
    for (Component* c = focus_; c; c = c->parent())
        if (c->keyDown(e)) return true;
    return false;
}

void RootControl::pushOverlay(std::unique_ptr<Overlay> overlay) {
    overlay->parent_ = this;
    overlays_.push_back(std::move(overlay));
    overlays_.back()->repaint();
}

void RootControl::removeOverlay(Overlay* overlay) {
    auto it = std::find_if(overlays_.begin(), overlays_.end(),
                           [overlay](const auto& o) { return o.get() == overlay; });
    if (it == overlays_.end()) return;
    overlay->repaint();
    forget(overlay);
    // Kept alive until the event that closed it has unwound.
    std::unique_ptr<Overlay> gone = std::move(*it);
    overlays_.erase(it);
    closed_.push_back(std::move(gone));
}

Overlay* RootControl::topOverlay() const {
    return overlays_.empty() ? nullptr : overlays_.back().get();
}

void RootControl::setFocus(Component* c) {
    if (c == focus_) return;
    Component* old = focus_;
    focus_ = c;
    if (old) old->focusLost();
}

void RootControl::invalidate(const Rect& r) {
    const Rect clipped = r.intersection(localBounds());
    if (clipped.empty()) return;
    for (Rect& d : dirty_) {
        if (d.intersection(clipped) == clipped) return;
        if (clipped.intersection(d) == d) {
            d = clipped;
            return;
        }
    }
    dirty_.push_back(clipped);
    if (dirty_.size() > kMaxDirtyRects) {
        Rect all;
        for (const Rect& d : dirty_) all = all.united(d);
        dirty_.assign(1, all);
    }
    if (interface_) interface_->redrawRequested();
}

std::vector<Rect> RootControl::takeDirtyRegion() {
    closed_.clear();
    std::vector<Rect> out;
    out.swap(dirty_);
    return out;
}

void RootControl::paintRegion(Graphics& g, const Rect& region) {
    g.save();
    g.clip(region);
    paintTree(g);
    for (const auto& o : overlays_) {
        if (!o->visible()) continue;
        g.save();
        g.translate(o->bounds().x, o->bounds().y);
        o->paintTree(g);
        g.restore();
    }
    g.restore();
}

void RootControl::forget(Component* c) {
    auto within = [c](Component* p) {
        for (; p; p = p->parent())
            if (p == c) return true;
        return false;
    };
    if (within(captured_)) captured_ = nullptr;
    if (within(hovered_)) hovered_ = nullptr;
    if (within(focus_)) focus_ = nullptr;
}

void Overlay::close() {
    if (RootControl* r = root()) r->removeOverlay(this);
}

}  // namespace gui
