#pragma once

#include <vector>

#include "gui/Component.h"
#include "gui/UserInterface.h"

namespace gui {

class Overlay;

// The top of a component tree. It routes input (see gui/README.md: hit testing, capture, hover,
// focus, double clicks), keeps the overlays above the tree and collects the dirty region that the
// platform redraws.
class RootControl : public Component {
public:
    static constexpr int kMaxDirtyRects = 8;
    // A second press this close in time and place is a double click.
    static constexpr int32_t kDoubleClickDistance = 4;

    RootControl();
    ~RootControl() override;

    UserInterface* userInterface() const { return interface_; }
    void setUserInterface(UserInterface* ui) { interface_ = ui; }

    // Input from the platform, in logical root coordinates with modifier flags.
    void mousePressed(const MouseEvent& e);
    void mouseMoved(const MouseEvent& e);
    void mouseReleased(const MouseEvent& e);
    void mouseWheeled(const MouseEvent& e);
    void mouseExited();
    // True when the tree used the key (else the host may have it).
    bool keyPressed(const KeyEvent& e);

    // Overlays draw above the tree and get input first; the newest is on top.
    void pushOverlay(std::unique_ptr<Overlay> overlay);
    void removeOverlay(Overlay* overlay);
    Overlay* topOverlay() const;

    Component* focus() const { return focus_; }
    void setFocus(Component* c);
    Component* captured() const { return captured_; }
    Component* hovered() const { return hovered_; }

    // Called by Component::repaint (root coordinates).
    void invalidate(const Rect& r);
    bool dirty() const { return !dirty_.empty(); }
    // The region to draw, emptied; merged into one rectangle when it gets too fragmented.
    std::vector<Rect> takeDirtyRegion();
    // Draws the tree and the overlays inside `region` (root coordinates).
    void paintRegion(Graphics& g, const Rect& region);

    // A component is going away: forget every pointer to it.
    void forget(Component* c);

    Component* hitTest(Point p) override;

private:
    Component* target(Point p);
    void setHovered(Component* c, const MouseEvent& e);

    UserInterface* interface_ = nullptr;
    std::vector<std::unique_ptr<Overlay>> overlays_;
    Component* captured_ = nullptr;
    Component* hovered_ = nullptr;
    Component* focus_ = nullptr;
    std::vector<Rect> dirty_;
    std::vector<std::unique_ptr<Overlay>> closed_;
    MouseEvent lastPress_{};
    bool havePress_ = false;
};

// A component over the whole tree: menus, dialogs, drag stages, the MIDI learn cover. A modal
// overlay takes every mouse event, inside it or not.
class Overlay : public Control {
public:
    bool modal() const { return modal_; }
    void setModal(bool m) { modal_ = m; }
    // Closes this overlay (it is deleted after the current event).
    void close();

private:
    bool modal_ = false;
};

// A control whose picture comes from its owner (curves, displays).
class Canvas : public Control {
public:
    class Owner {
    public:
        virtual ~Owner() = default;
        virtual void paintCanvas(Canvas& canvas, Graphics& g) = 0;
    };
    explicit Canvas(Owner& owner) : owner_(owner) {}
    void paint(Graphics& g) override { owner_.paintCanvas(*this, g); }
    bool wantsMouse() const override { return false; }

private:
    Owner& owner_;
};

}  // namespace gui
