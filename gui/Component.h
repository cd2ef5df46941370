#pragma once

#include <memory>
#include <string>
#include <vector>

#include "gui/Animation.h"
#include "gui/Events.h"
#include "gui/Geometry.h"
#include "gui/Graphics.h"

namespace gui {

class RootControl;

// A node of the component tree: a rectangle in its parent's coordinates that paints itself and
// its children. Parents own their children.
class Component {
public:
    Component() = default;
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;
    virtual ~Component();

    const Rect& bounds() const { return bounds_; }
    void setBounds(const Rect& r);
    Rect localBounds() const { return {0, 0, bounds_.width, bounds_.height}; }
    // Bounds in the root's coordinates.
    Rect rootBounds() const;

    Component* parent() const { return parent_; }
    RootControl* root() const;
    const std::vector<std::unique_ptr<Component>>& children() const { return children_; }

    template <class T, class... Args>
    T& add(Args&&... args) {
        auto child = std::make_unique<T>(std::forward<Args>(args)...);
        T& ref = *child;
        adopt(std::move(child));
        return ref;
    }
    Component& adopt(std::unique_ptr<Component> child);
    std::unique_ptr<Component> release(Component* child);
    void removeAllChildren();

    bool visible() const { return visible_; }
    // Visible, and so are all its ancestors up to a root.
    bool showing() const;
    void setVisible(bool v);

    // Marks the whole component (or a part, in its own coordinates) for redrawing.
    void repaint();
    void repaint(const Rect& local);

    // Paints this component, then its children over it. `g` is translated to local coordinates.
    virtual void paint(Graphics& g);
    void paintTree(Graphics& g);
    // Below 1 the component and its children are drawn faded; at 0 not at all.
    virtual float paintOpacity() const { return 1.0f; }

    // The deepest visible component under p (local coordinates) that wants the mouse.
    virtual Component* hitTest(Point p);
    virtual bool wantsMouse() const { return false; }

    // Mouse events in local coordinates. A component that returns true from mouseDown receives
    // the drag and the release even outside its bounds.
    virtual bool mouseDown(const MouseEvent&) { return false; }
    virtual void mouseDrag(const MouseEvent&) {}
    virtual void mouseUp(const MouseEvent&) {}
    // A press that completes a double click; by default it is a press.
    virtual bool mouseDoubleClick(const MouseEvent& e) { return mouseDown(e); }
    virtual bool mouseWheel(const MouseEvent&) { return false; }
    virtual void mouseMove(const MouseEvent&) {}
    virtual void mouseEnter() {}
    virtual void mouseLeave() {}
    virtual bool keyDown(const KeyEvent&) { return false; }
    virtual void focusLost() {}

    Point toRoot(Point local) const;
    Point fromRoot(Point rootPoint) const;

protected:
    virtual void resized() {}

private:
    friend class RootControl;
    Rect bounds_;
    Component* parent_ = nullptr;
    std::vector<std::unique_ptr<Component>> children_;
    bool visible_ = true;
};

// A component the user works: it takes the mouse, can be disabled and explains itself.
class Control : public Component {
public:
    bool wantsMouse() const override { return enabled_; }
    bool enabled() const { return enabled_; }
    void setEnabled(bool e);
    const std::string& hint() const { return hint_; }
    void setHint(std::string h) { hint_ = std::move(h); }
    bool hovered() const { return hovered_; }

    void mouseEnter() override;
    void mouseLeave() override;

private:
    bool enabled_ = true;
    bool hovered_ = false;
    std::string hint_;
};

// A control drawn with an opacity that animations change.
class AnimatedControl : public Control, public AnimatedObject {
public:
    float opacity() const { return opacity_; }
    float paintOpacity() const override { return opacity_; }
    void setOpacity(float o);

private:
    float opacity_ = 1.0f;
};

}  // namespace gui
