#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/RootControl.h"

namespace gui {

class Button;

// A modal box over the dimmed window: a title, a body and a row of buttons at the bottom right.
// Enter clicks the default button, Escape the cancel button; other keys go to the focused control
// inside. Nothing under it gets any input while it is open.
class Dialog : public Overlay {
public:
    static constexpr int kTitleHeight = 26;
    static constexpr int kButtonHeight = 24;
    static constexpr int kMinButtonWidth = 76;
    static constexpr int kSpacing = 8;
    static constexpr int kWindowMargin = 12;
    static constexpr int kInside = 16;  // between the box's edge and its body

    explicit Dialog(std::string title);
    ~Dialog() override;

    // Puts the dialog over the whole window and returns it.
    template <class D>
    static D& show(RootControl& root, std::unique_ptr<D> dialog) {
        D& d = *dialog;
        d.setBounds(root.localBounds());
        root.pushOverlay(std::move(dialog));
        static_cast<Dialog&>(d).opened();
        return d;
    }

    const std::string& title() const { return title_; }
    // Buttons appear left to right in the order added.
    Button& addButton(std::string caption, std::function<void()> clicked);
    Button& button(size_t index) { return *buttons_[index]; }
    size_t buttonCount() const { return buttons_.size(); }
    void setDefaultButton(int index) {
        defaultButton_ = index;
        layout();
    }
    void setCancelButton(int index) { cancelButton_ = index; }

    // The area for the dialog's content; its size sets the dialog's.
    Component& body() { return *body_; }
    void setBodySize(int32_t width, int32_t height);
    // The box, in the dialog's (and the window's) coordinates.
    Rect panel() const { return panel_; }

    void paint(Graphics& g) override;
    bool mouseDown(const MouseEvent& e) override;
    bool keyDown(const KeyEvent& e) override;

protected:
    void resized() override;
    // Called once the dialog is on screen, for giving a control the keyboard.
    virtual void opened() {}
    void click(int index);

private:
    void layout();

    std::string title_;
    Component* body_;
    std::vector<Button*> buttons_;
    int defaultButton_ = 0;
    int cancelButton_ = -1;
    int32_t bodyWidth_ = 300, bodyHeight_ = 60;
    Rect panel_;
};

}  // namespace gui
