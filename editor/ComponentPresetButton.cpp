#include "editor/ComponentPresetButton.h"

#include "editor/GenericPluginInterface.h"
#include "engine/VornPresets.h"
#include "gui/OpenSaveDialog.h"

ComponentPresetButton::ComponentPresetButton(GenericPluginInterface& editor, VornPresets& presets,
                                             int type, std::vector<std::string> instanceNames)
    : gui::PopupButton(
          "Presets", [this] { return buildMenu(); }, [this](int id) { choose(id); }),
      editor_(editor),
      names_(std::move(instanceNames)) {
    for (size_t i = 0; i < names_.size(); ++i) {
        handlers_.push_back(std::make_unique<ComponentPresetHandler>(
            presets, type, static_cast<int>(i), [this](const std::string& text) {
                if (gui::UserInterface* ui = editor_.userInterface())
                    ui->messageBox(text, gui::box::kOk);
            }));
    }
    setHint("Presets of this section alone");
}

ComponentPresetButton::~ComponentPresetButton() = default;

gui::Menu ComponentPresetButton::buildMenu() {
    actions_.clear();
    gui::Menu menu;
    if (handlers_.size() == 1) {
        addInstance(menu, *handlers_[0]);
        return menu;
    }
    for (size_t i = 0; i < handlers_.size(); ++i)
        addInstance(menu.addSubmenu(names_[i]), *handlers_[i]);
    return menu;
}

void ComponentPresetButton::addInstance(gui::Menu& menu, ComponentPresetHandler& h) {
    addItems(menu, h, h.menu());
    menu.addSeparator();
    actions_.push_back([this, &h] { saveAs(h); });
    menu.add(PresetTexts::kSaveAs, static_cast<int>(actions_.size() - 1));
    actions_.push_back([this, &h] { loaded(h.loadDefault()); });
    menu.add(kDefaultItem, static_cast<int>(actions_.size() - 1));
}

void ComponentPresetButton::addItems(gui::Menu& menu, ComponentPresetHandler& h,
                                     const std::vector<PresetMenuItem>& items) {
    for (const PresetMenuItem& item : items) {
        if (item.kind == PresetMenuItem::Kind::Submenu) {
            addItems(menu.addSubmenu(item.text), h, item.items);
        } else if (item.kind == PresetMenuItem::Kind::Preset) {
            const PresetEntry entry = item.entry;
            actions_.push_back([this, &h, entry] {
                h.presetSelected(entry);
                loaded(h.currentPath() == entry.path);
            });
            menu.add(item.text, static_cast<int>(actions_.size() - 1), item.checked);
        } else if (item.kind == PresetMenuItem::Kind::Empty) {
            menu.add(item.text, -1, false, false);
        }
    }
}

void ComponentPresetButton::choose(int id) {
    if (id < 0 || id >= static_cast<int>(actions_.size())) return;
    const std::function<void()> action = actions_[static_cast<size_t>(id)];
    action();
}

void ComponentPresetButton::saveAs(ComponentPresetHandler& h) {
    gui::OpenSaveDialog::Options o{gui::OpenSaveDialog::Mode::Save, h.folder(),
                                   "." + h.defaultExtension(), "", PresetTexts::kSaveAs};
    gui::OpenSaveDialog::show(editor_, o,
                              [&h](const std::filesystem::path& p) { h.saveAs(p.string()); });
}

void ComponentPresetButton::loaded(bool ok) {
    if (!ok) return;
    // A section's values changed at once: one undo step, every control follows.
    editor_.userActionCompleted();
    editor_.presetChanged();
}
