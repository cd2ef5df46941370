#include "gui/Menu.h"

namespace gui {

MenuItem::MenuItem(std::string t, int i, bool c, bool e)
    : text(std::move(t)), id(i), checked(c), enabled(e) {}

MenuItem::MenuItem(const MenuItem& o)
    : text(o.text),
      id(o.id),
      checked(o.checked),
      enabled(o.enabled),
      separator(o.separator),
      submenu(o.submenu ? std::make_unique<Menu>(*o.submenu) : nullptr) {}

MenuItem& MenuItem::operator=(const MenuItem& o) {
    if (this != &o) *this = MenuItem(o);
    return *this;
}

MenuItem::~MenuItem() = default;

MenuItem& Menu::add(std::string text, int id, bool checked, bool enabled) {
    return items_.emplace_back(std::move(text), id, checked, enabled);
}

void Menu::addSeparator() {
    items_.emplace_back().separator = true;
}

Menu& Menu::addSubmenu(std::string text) {
    MenuItem& item = items_.emplace_back(std::move(text), 0, false, true);
    item.submenu = std::make_unique<Menu>();
    return *item.submenu;
}

}  // namespace gui
