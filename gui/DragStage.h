#pragma once

#include <memory>
#include <string>

#include "gui/RootControl.h"

namespace gui {

class DragStage;

// What is being dragged: it draws itself under the mouse.
class DragObject {
public:
    virtual ~DragObject() = default;
    virtual void paint(Graphics& g, Point mouse) = 0;
    // The part of the stage its picture covers at a mouse point (for redrawing).
    virtual Rect area(Point mouse) const = 0;
};

// Starts drags and tells their owner what happens.
class DragManager {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        // The mouse moved during the drag (root coordinates): find and highlight the target.
        virtual void dragMoved(DragStage&, Point) {}
        // The button was released over `at`.
        virtual void dropped(DragStage& stage, Point at) = 0;
        // Escape, or the stage went away without a drop.
        virtual void dragCancelled(DragStage&) {}
    };

    // Covers the root with a stage that follows the mouse until the button is released. The
    // stage takes the mouse through the interface's hook, so the control that began the drag
    // keeps its capture untouched.
    static DragStage& begin(RootControl& root, std::unique_ptr<DragObject> object,
                            Listener& listener, Point at);
    // The same for a stage of a derived kind, made by its owner.
    static DragStage& begin(RootControl& root, std::unique_ptr<DragStage> stage);
};

// The overlay of one drag: it draws the dragged object and the target highlight, and redraws
// only what changes.
class DragStage : public Overlay, private UserInterface::MouseHook {
public:
    DragStage(std::unique_ptr<DragObject> object, DragManager::Listener& listener, Point at);
    ~DragStage() override;

    Point mouse() const { return mouse_; }
    DragObject& object() { return *object_; }
    // The highlighted target area in root coordinates (empty for none).
    void setHighlight(const Rect& r);
    const Rect& highlight() const { return highlight_; }

    void paint(Graphics& g) override;
    bool keyDown(const KeyEvent& e) override;
    bool wantsMouse() const override { return false; }

private:
    friend class DragManager;
    bool hookMouse(Kind kind, const MouseEvent& e) override;
    void finish();

    std::unique_ptr<DragObject> object_;
    DragManager::Listener& listener_;
    UserInterface::MouseHook* previousHook_ = nullptr;
    Point mouse_;
    Rect highlight_;
    bool done_ = false;
};

}  // namespace gui
