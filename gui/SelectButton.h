#pragma once

#include <functional>
#include <string>
#include <vector>

#include "gui/Button.h"

namespace gui {

class Menu;

// Shows the chosen one of a list of items; a click opens the list as a menu, the wheel steps
// through it. The value is the index of the chosen item.
class SelectButton : public Button {
public:
    // One entry of the list.
    struct SelectMenuItem {
        std::string text;
        bool enabled = true;
    };

    SelectButton() = default;
    explicit SelectButton(std::vector<SelectMenuItem> items);
    void setItems(std::vector<SelectMenuItem> items);
    const std::vector<SelectMenuItem>& items() const { return items_; }
    const std::string& selectedText() const;

    void paint(Graphics& g) override;

protected:
    void clicked() override;

private:
    std::vector<SelectMenuItem> items_;
};

// A button that opens a menu its owner builds at the moment of the click (preset menus, the
// MIDI learn menu); the chosen item's id goes to onChoose.
class PopupButton : public Button {
public:
    using MenuBuilder = std::function<Menu()>;
    PopupButton(std::string caption, MenuBuilder build, std::function<void(int id)> choose);
    void paint(Graphics& g) override;

protected:
    void clicked() override;

private:
    MenuBuilder build_;
    std::function<void(int)> choose_;
};

}  // namespace gui
