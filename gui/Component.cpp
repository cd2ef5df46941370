#include "gui/Component.h"

#include <algorithm>

#include "gui/RootControl.h"

namespace gui {

Component::~Component() {
    // Children first, so that they can still tell the root to forget them.
    children_.clear();
    if (RootControl* r = root(); r && r != this) r->forget(this);
}

void Component::setBounds(const Rect& r) {
    if (r == bounds_) return;
    repaint();
    const bool sized = r.width != bounds_.width || r.height != bounds_.height;
    bounds_ = r;
    repaint();
    if (sized) resized();
}

Rect Component::rootBounds() const {
    const Point p = toRoot({0, 0});
    return {p.x, p.y, bounds_.width, bounds_.height};
}

RootControl* Component::root() const {
    const Component* c = this;
    while (c->parent_) c = c->parent_;
    return dynamic_cast<RootControl*>(const_cast<Component*>(c));
}

Component& Component::adopt(std::unique_ptr<Component> child) {
    child->parent_ = this;
    children_.push_back(std::move(child));
    children_.back()->repaint();
    return *children_.back();
}

std::unique_ptr<Component> Component::release(Component* child) {
    auto it = std::find_if(children_.begin(), children_.end(),
                           [child](const auto& c) { return c.get() == child; });
    if (it == children_.end()) return nullptr;
    child->repaint();
    if (RootControl* r = root()) r->forget(child);
    std::unique_ptr<Component> out = std::move(*it);
    children_.erase(it);
    out->parent_ = nullptr;
    return out;
}

void Component::removeAllChildren() {
    repaint();
    while (!children_.empty()) release(children_.back().get());
}

void Component::setVisible(bool v) {
    if (v == visible_) return;
    if (!v) repaint();
    visible_ = v;
    if (v) repaint();
}

bool Component::showing() const {
    for (const Component* c = this; c; c = c->parent_) {
        if (!c->visible_) return false;
        if (!c->parent_) return dynamic_cast<const RootControl*>(c) != nullptr;
    }
    return false;
}

void Component::repaint() {
    repaint(localBounds());
}

void Component::repaint(const Rect& local) {
    if (!visible_) return;
    Rect r = local;
    for (const Component* c = this; c; c = c->parent_) {
        if (!c->visible_) return;
        r = r.intersection(c->localBounds());
        if (r.empty()) return;
        if (!c->parent_) {
            if (auto* rc = dynamic_cast<RootControl*>(const_cast<Component*>(c))) rc->invalidate(r);
            return;
        }
        r = r.translated(c->bounds_.x, c->bounds_.y);
    }
}

void Component::paint(Graphics&) {}

void Component::paintTree(Graphics& g) {
    const float opacity = paintOpacity();
    if (!visible_ || opacity <= 0.0f) return;
    const Rect clip = g.clipBounds();
    if (!clip.intersects(localBounds())) return;
    g.save();
    g.clip(localBounds());
    if (opacity < 1.0f) g.pushOpacity();
    paint(g);
    for (const auto& child : children_) {
        if (!child->visible_ || !clip.intersects(child->bounds_)) continue;
        g.save();
        g.translate(child->bounds_.x, child->bounds_.y);
        child->paintTree(g);
        g.restore();
    }
    if (opacity < 1.0f) g.popOpacity(opacity);
    g.restore();
}

Component* Component::hitTest(Point p) {
    if (!visible_ || !localBounds().contains(p)) return nullptr;
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        Component* c = it->get();
        if (Component* hit = c->hitTest({p.x - c->bounds_.x, p.y - c->bounds_.y})) return hit;
    }
    return wantsMouse() ? this : nullptr;
}

Point Component::toRoot(Point local) const {
    for (const Component* c = this; c->parent_; c = c->parent_) {
        local.x += c->bounds_.x;
        local.y += c->bounds_.y;
    }
    return local;
}

Point Component::fromRoot(Point rootPoint) const {
    const Point origin = toRoot({0, 0});
    return {rootPoint.x - origin.x, rootPoint.y - origin.y};
}

void Control::setEnabled(bool e) {
    if (e == enabled_) return;
    enabled_ = e;
    repaint();
}

void Control::mouseEnter() {
    hovered_ = true;
    repaint();
}

void Control::mouseLeave() {
    hovered_ = false;
    repaint();
}

void AnimatedControl::setOpacity(float o) {
    o = std::clamp(o, 0.0f, 1.0f);
    if (o == opacity_) return;
    opacity_ = o;
    repaint();
}

}  // namespace gui
