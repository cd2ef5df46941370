#include "persistence/PresetManager.h"

PresetManager::PresetManager(const std::string& path, const std::string& extension, int budgetMs,
                             ScanClock clock)
    : PresetFolder(path, extension, budgetMs, clock), budgetMs_(budgetMs), clock_(clock) {
    renumber();
}

void PresetManager::setFolder(const std::string& path) {
    scan(path, budgetMs_);
    renumber();
}

void PresetManager::addExtraFolder(const std::string& path, const std::string& displayName) {
    auto folder = std::make_unique<PresetFolder>(path, extension(), budgetMs_, clock_);
    if (!displayName.empty()) folder->setName(displayName);
    extraFolders_.push_back(std::move(folder));
    renumber();
}

void PresetManager::renumber() {
    std::vector<PresetEntry*> entries;
    collect(entries);
    mainTreeCount_ = static_cast<int>(entries.size());
    for (auto& folder : extraFolders_) folder->collect(entries);
    for (size_t k = 0; k < entries.size(); ++k) {
        PresetEntry& e = *entries[k];
        e.bank = static_cast<int32_t>(k / kProgramsPerBank);
        e.program = static_cast<int32_t>(k % kProgramsPerBank);
        e.displayName =
            "(" + std::to_string(e.bank) + "/" + std::to_string(e.program) + ") " + e.name;
    }
}

std::vector<const PresetEntry*> PresetManager::flat() const {
    std::vector<const PresetEntry*> entries;
    collect(entries);
    for (const auto& folder : extraFolders_) {
        static_cast<const PresetFolder&>(*folder).collect(entries);
    }
    return entries;
}

std::vector<PresetEntry> PresetManager::allPresets() const {
    std::vector<PresetEntry> out;
    for (const PresetEntry* e : flat()) out.push_back(*e);
    return out;
}

std::optional<PresetEntry> PresetManager::presetAt(int bank, int program) const {
    if (bank < 0 || program < 0 || program >= kProgramsPerBank) return std::nullopt;
    const std::vector<const PresetEntry*> entries = flat();
    const size_t index = static_cast<size_t>(bank) * kProgramsPerBank + program;
    if (index >= entries.size()) return std::nullopt;
    return *entries[index];
}

std::optional<PresetEntry> PresetManager::findByName(const std::string& name) const {
    for (const PresetEntry* e : flat()) {
        if (e->name == name) return *e;
    }
    return std::nullopt;
}

std::optional<PresetEntry> PresetManager::stepFrom(const std::string& path, int direction) const {
    const std::vector<const PresetEntry*> entries = flat();
    const int n = static_cast<int>(entries.size());
    int i = 0;
    while (i < n && entries[i]->path != path) ++i;
    if (i == n) return std::nullopt;
    int next = i;
    if (direction == kPrevious) next = (i + n - 1) % n;
    if (direction == kNext) next = (i + 1) % n;
    if (i < mainTreeCount_ && next >= mainTreeCount_) {
        next = direction == kPrevious ? mainTreeCount_ - 1 : 0;
    }
    return *entries[next];
}

namespace {

using Item = PresetMenuItem;

Item commandItem(const char* text, Item::Command command, bool checked = false) {
    Item item;
    item.kind = Item::Kind::Command;
    item.text = text;
    item.command = command;
    item.checked = checked;
    return item;
}

Item submenu(const PresetFolder& folder, const std::string& currentPath, bool numbered) {
    Item item;
    item.kind = Item::Kind::Submenu;
    item.text = folder.name();
    item.items = presetTreeMenu(folder, currentPath, numbered);
    for (const Item& child : item.items) item.checked = item.checked || child.checked;
    return item;
}

}  // namespace

std::vector<PresetMenuItem> presetTreeMenu(const PresetFolder& folder,
                                           const std::string& currentPath, bool numbered) {
    std::vector<Item> items;
    if (folder.isEmpty()) {
        Item empty;
        empty.text = PresetTexts::kNoPresets;
        items.push_back(std::move(empty));
        return items;
    }
    for (const auto& child : folder.subfolders()) {
        items.push_back(submenu(*child, currentPath, numbered));
    }
    for (const PresetEntry& entry : folder.presets()) {
        Item item;
        item.kind = Item::Kind::Preset;
        item.text = numbered ? entry.displayName : entry.name;
        item.checked = !currentPath.empty() && entry.path == currentPath;
        item.entry = entry;
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<PresetMenuItem> presetMenu(const PresetManager& manager,
                                       const PresetMenuOptions& options) {
    std::vector<Item> items = presetTreeMenu(manager, options.currentPath, options.programChanges);
    for (const auto& folder : manager.extraFolders()) {
        items.push_back(submenu(*folder, options.currentPath, options.programChanges));
    }
    Item separator;
    separator.kind = Item::Kind::Separator;
    items.push_back(separator);
    if (options.saveItem) items.push_back(commandItem(PresetTexts::kSave, Item::Command::Save));
    items.push_back(commandItem(PresetTexts::kSaveAs, Item::Command::SaveAs));

    Item optionsMenu;
    optionsMenu.kind = Item::Kind::Submenu;
    optionsMenu.text = PresetTexts::kOptions;
    optionsMenu.items = {
        commandItem(PresetTexts::kEnableProgramChanges, Item::Command::EnableProgramChanges,
                    options.programChanges),
        commandItem(PresetTexts::kSaveAsDefault, Item::Command::SaveAsDefault),
        commandItem(PresetTexts::kOpenOther, Item::Command::OpenOther),
        commandItem(PresetTexts::kChangeFolder, Item::Command::ChangeFolder),
        commandItem(PresetTexts::kRestoreFactory, Item::Command::RestoreFactory),
    };
    items.push_back(std::move(optionsMenu));
    return items;
}
