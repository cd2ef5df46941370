#include "editor/PresetBar.h"

#include "editor/QuorvalisPluginInterface.h"
#include "engine/VornPresets.h"
#include "framework/PluginSettings.h"
#include "gui/OpenSaveDialog.h"
#include "gui/PopupMenu.h"
#include "gui/SelectFolderDialog.h"

namespace {

// The preset's name, with a mark while it differs from its file.
class NameButton : public gui::Button {
public:
    using gui::Button::Button;
    void paint(gui::Graphics& g) override {
        const gui::Rect b = localBounds();
        g.fillRoundedRect(b, gui::palette::kRadius,
                          hovered() ? gui::palette::kTrack.brighter(0.06f) : gui::palette::kTrack);
        g.text(caption(), {10, 0, b.width - 30, b.height}, gui::palette::kBold, gui::palette::kText,
               gui::Align::Left);
        const float x = b.width - 12.0f, y = b.height / 2.0f;
        const float arrow[] = {x - 4, y - 2, x, y + 2, x + 4, y - 2};
        g.polyline(arrow, 1.5f, gui::palette::kTextDim);
    }
};

}  // namespace

PresetBar::PresetBar(QuorvalisPluginInterface& editor, VornPresets& presets)
    : editor_(editor), presets_(presets) {
    previous_ = &add<gui::Button>(
        "<", [this] { afterLoad(presets_.stepPreset(PresetManager::kPrevious)); });
    next_ =
        &add<gui::Button>(">", [this] { afterLoad(presets_.stepPreset(PresetManager::kNext)); });
    name_ = &add<NameButton>("", [this] {
        const gui::Rect at = name_->rootBounds();
        gui::PopupMenu::show(editor_, buildMenu(), {at.x, at.bottom()},
                             [this](int id) { choose(id); });
    });
    presets_.setMessageSink([this](const std::string& text) {
        if (gui::UserInterface* ui = editor_.userInterface()) ui->messageBox(text, gui::box::kOk);
    });
    refresh();
}

void PresetBar::resized() {
    const gui::Rect b = localBounds();
    previous_->setBounds({0, 3, 24, b.height - 6});
    next_->setBounds({26, 3, 24, b.height - 6});
    name_->setBounds({56, 3, b.width - 56, b.height - 6});
}

void PresetBar::paint(gui::Graphics&) {}

void PresetBar::refresh() {
    const CurrentPreset& p = editor_.plugin().currentPreset();
    const std::string name = p.name.empty() ? "Untitled" : p.name;
    name_->setCaption(p.isModified() ? name + " *" : name);
}

void PresetBar::afterLoad(bool) {
    editor_.presetChanged();
    refresh();
}

PresetBar::~PresetBar() {
    presets_.setMessageSink({});
}

gui::Menu PresetBar::buildMenu() {
    actions_.clear();
    gui::Menu menu;
    addItems(menu, presets_.menu());
    return menu;
}

void PresetBar::addItems(gui::Menu& menu, const std::vector<PresetMenuItem>& items) {
    for (const PresetMenuItem& item : items) {
        switch (item.kind) {
            case PresetMenuItem::Kind::Separator:
                menu.addSeparator();
                break;
            case PresetMenuItem::Kind::Empty:
                menu.add(item.text, -1, false, false);
                break;
            case PresetMenuItem::Kind::Submenu: {
                gui::Menu& sub = menu.addSubmenu(item.text);
                if (!menu.items().empty()) menu.items().back().checked = item.checked;
                addItems(sub, item.items);
                break;
            }
            case PresetMenuItem::Kind::Preset: {
                const PresetEntry entry = item.entry;
                actions_.push_back([this, entry] { afterLoad(presets_.loadPreset(entry)); });
                menu.add(item.text, static_cast<int>(actions_.size() - 1), item.checked);
                break;
            }
            case PresetMenuItem::Kind::Command: {
                const PresetMenuItem::Command c = item.command;
                actions_.push_back([this, c] { command(c); });
                menu.add(item.text, static_cast<int>(actions_.size() - 1), item.checked);
                break;
            }
        }
    }
}

void PresetBar::choose(int id) {
    if (id < 0 || id >= static_cast<int>(actions_.size())) return;
    // The action may rebuild the menu's actions; keep this one alive while it runs.
    const std::function<void()> action = actions_[static_cast<size_t>(id)];
    action();
}

void PresetBar::command(PresetMenuItem::Command c) {
    using Command = PresetMenuItem::Command;
    const std::string folder = GenericPlugin::presetFolder();
    switch (c) {
        case Command::None:
            break;
        case Command::Save:
            afterLoad(presets_.saveCurrent());
            break;
        case Command::SaveAs: {
            gui::OpenSaveDialog::Options o{gui::OpenSaveDialog::Mode::Save, folder,
                                           VornPresets::kPresetExtension,
                                           editor_.plugin().currentPreset().name, "Save Preset"};
            gui::OpenSaveDialog::show(editor_, o, [this](const std::filesystem::path& p) {
                afterLoad(presets_.savePreset(p.string()));
            });
            break;
        }
        case Command::EnableProgramChanges: {
            auto& on = GenericPlugin::sharedSettings()->enableMidiProgramChanges;
            on = !on.get();
            editor_.plugin().writeSettings();
            break;
        }
        case Command::SaveAsDefault:
            afterLoad(presets_.saveAsDefault());
            break;
        case Command::OpenOther: {
            gui::OpenSaveDialog::Options o{gui::OpenSaveDialog::Mode::Open, folder,
                                           VornPresets::kPresetExtension, "", "Open Preset"};
            gui::OpenSaveDialog::show(editor_, o, [this](const std::filesystem::path& p) {
                afterLoad(presets_.openOther(p.string()));
            });
            break;
        }
        case Command::ChangeFolder:
            gui::SelectFolderDialog::show(
                editor_, folder,
                [this](const std::filesystem::path& p) { presets_.changePresetFolder(p.string()); },
                {}, PresetTexts::kChangeFolderTitle);
            break;
        case Command::RestoreFactory:
            restoreFactory();
            break;
    }
}

void PresetBar::restoreFactory() {
    gui::UserInterface* ui = editor_.userInterface();
    if (!ui) return;
    ui->messageBox(PresetTexts::kConfirmRestore, gui::box::kOk | gui::box::kCancel,
                   [this](int answer) {
                       if (answer == gui::box::kAnsweredOk)
                           afterLoad(presets_.restoreFactoryPresets());
                   });
}
