#pragma once

#include <memory>
#include <string>
#include <vector>

namespace gui {

class Menu;

// One line of a menu: a choice with an id, a separator, or the title of a submenu.
struct MenuItem {
    std::string text;
    int id = 0;
    bool checked = false;
    bool enabled = true;
    bool separator = false;
    std::unique_ptr<Menu> submenu;

    MenuItem() = default;
    MenuItem(std::string t, int i, bool c, bool e);
    MenuItem(const MenuItem& o);
    MenuItem& operator=(const MenuItem& o);
    MenuItem(MenuItem&&) noexcept = default;
    MenuItem& operator=(MenuItem&&) noexcept = default;
    ~MenuItem();

    // Something the user can choose or open.
    bool selectable() const { return enabled && !separator; }
};

// An ordered list of items; copies are deep, so a shown menu never changes under the user.
class Menu {
public:
    MenuItem& add(std::string text, int id, bool checked = false, bool enabled = true);
    void addSeparator();
    // A submenu stays at the same address while more items are added.
    Menu& addSubmenu(std::string text);

    const std::vector<MenuItem>& items() const { return items_; }
    std::vector<MenuItem>& items() { return items_; }
    bool empty() const { return items_.empty(); }
    size_t size() const { return items_.size(); }

private:
    std::vector<MenuItem> items_;
};

}  // namespace gui
