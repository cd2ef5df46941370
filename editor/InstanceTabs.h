#pragma once

#include <string>
#include <vector>

#include "gui/Button.h"
#include "gui/Component.h"

// A row of buttons that picks which of a unit's instances a section shows: each instance has a
// page of controls, and only the selected one is visible.
class InstanceTabs : public gui::Component {
public:
    InstanceTabs(const std::vector<std::string>& captions, int buttonWidth);
    // Pages in instance order; the first is shown until another is selected.
    void addPage(gui::Component& page);
    void select(int index);
    int selected() const { return selected_; }
    gui::ToggleButton& button(int index) { return *buttons_[static_cast<size_t>(index)]; }

protected:
    void resized() override;

private:
    std::vector<gui::ToggleButton*> buttons_;
    std::vector<gui::Component*> pages_;
    int buttonWidth_;
    int selected_ = 0;
};
