#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "gui/Button.h"

class GenericPluginInterface;

// A button played by dragging: the two axes change two parameters at once, modifier function 1
// reaches a second pair and function 2 locks the drag to one direction. Its edits go through the
// editor like any knob's, so they are automated, undone and learnable.
class ParameterButton : public gui::Button {
public:
    static constexpr int kSlots = 4;  // 0, 1: first pair (x, y); 2, 3: second pair
    // A press becomes a drag once the mouse is this far from it along either axis.
    static constexpr int kDragDistance = gui::ValueDragMapper::kClickDistance;
    enum class DragState { Idle, Pressed, Dragging };
    enum class Lock { None = -1, Vertical = 0, Horizontal = 1 };

    explicit ParameterButton(GenericPluginInterface& editor);

    // Binds a slot to a parameter by name; the step count follows the parameter.
    void bindSlot(int slot, const std::string& parameter);
    // The control behind a slot (hidden); null when the slot is unbound.
    gui::ValueControl* slot(int index) const { return slots_[static_cast<size_t>(index)]; }
    DragState dragState() const { return state_; }
    bool secondPair() const { return second_; }
    Lock lock() const { return lock_; }

    bool mouseDown(const gui::MouseEvent& e) override;
    void mouseDrag(const gui::MouseEvent& e) override;
    void mouseUp(const gui::MouseEvent& e) override;
    // Two-axis relative gesture (wheel, touchpad): both slots of the pair, one undo step.
    bool mouseWheel(const gui::MouseEvent& e) override;

protected:
    // A press and release without a drag.
    virtual void clickAction(uint32_t modifiers) = 0;
    GenericPluginInterface& editor() { return editor_; }
    // A hidden control bound to a parameter whose changes repaint this button.
    gui::ValueControl& watch(const std::string& parameter);

private:
    int firstSlot() const { return second_ ? 2 : 0; }
    void beginPair();
    void endPair();
    void dragTo(const gui::MouseEvent& e);

    GenericPluginInterface& editor_;
    std::array<gui::ValueControl*, kSlots> slots_{};
    gui::Point press_;
    gui::Point applied_;  // the offset from the press point already turned into steps
    DragState state_ = DragState::Idle;
    Lock lock_ = Lock::None;
    bool second_ = false;
};

// A component of the synthesizer (an oscillator, a filter, a delay line) as a parameter button:
// a click expands its section, a function-1 click resets it, and a small switch in its top-left
// corner turns it on and off.
class ComponentButton : public ParameterButton {
public:
    static constexpr int kSwitchSize = 14;

    ComponentButton(GenericPluginInterface& editor, std::string name, int section);

    const std::string& name() const { return name_; }
    int section() const { return section_; }
    gui::ToggleButton* enableSwitch() const { return enable_; }
    void bindEnable(const std::string& parameter);
    // Shown in the picture and reset with the bound ones.
    void addFurther(const std::string& parameter);
    gui::ValueControl* furtherControl(size_t i) const { return further_[i]; }
    // Called with the section to expand or collapse.
    std::function<void(int section)> onToggleSection;

    void paint(gui::Graphics& g) override;
    // Without its picture the button shows its name and switch only ("ShowComponentDisplays").
    void showPicture(bool show);
    bool pictureShown() const { return picture_; }

protected:
    void clickAction(uint32_t modifiers) override;
    // A child that draws part of the picture, hidden with it.
    void addPictureChild(gui::Component& c) { pictureChildren_.push_back(&c); }
    void resized() override;
    // The picture of the settings, inside the frame and below the name.
    virtual void paintPicture(gui::Graphics& g, const gui::Rect& area) = 0;
    bool enabled() const;

private:
    void reset();

    std::string name_;
    int section_;
    gui::ToggleButton* enable_ = nullptr;
    std::vector<gui::ValueControl*> further_;
    std::vector<gui::Component*> pictureChildren_;
    bool picture_ = true;
};
