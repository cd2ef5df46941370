#include "persistence/ComponentPresetHandler.h"

#include "persistence/ComponentPresetTypes.h"

namespace ComponentPresets {

std::string folderOf(int type, const std::string& userData) {
    std::string folder = userData;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + kFolder + "/" + kTypes.at(static_cast<size_t>(type)).folder + "/";
}

std::string fileFilter(int type) {
    const std::string extension = kTypes.at(static_cast<size_t>(type)).extension;
    return "Quorvalis Component Presets (*" + extension + ")|*" + extension +
           "|All Files (*.*)|*.*";
}

}  // namespace ComponentPresets

ComponentPresetHandler::ComponentPresetHandler(ComponentPresetOwner& owner, int type, int instance,
                                               MessageSink messages)
    : owner_(owner),
      type_(type),
      instance_(instance),
      version_(owner.componentPresetVersion(type)),
      messages_(std::move(messages)) {}

bool ComponentPresetHandler::load(const PresetEntry& entry) {
    if (!owner_.loadComponentPreset(entry, version_, type_, instance_)) return false;
    currentPath_ = entry.path;
    return true;
}

void ComponentPresetHandler::presetSelected(const PresetEntry& entry) {
    if (!load(entry) && messages_) messages_(PresetTexts::kOpenFailed);
}

bool ComponentPresetHandler::loadDefault() {
    const PresetManager* manager = owner_.componentPresetManager(type_);
    if (!manager) return false;
    const auto entry = manager->findByName(ComponentPresets::kDefaultName);
    if (!entry) return false;
    if (load(*entry)) return true;
    if (messages_) messages_(PresetTexts::kOpenFailed);
    return false;
}

bool ComponentPresetHandler::saveAs(const std::string& path) {
    const bool saved = owner_.saveComponentPreset(type_, instance_, path);
    if (PresetManager* manager = owner_.componentPresetManager(type_)) manager->rescan();
    return saved;
}

std::vector<PresetMenuItem> ComponentPresetHandler::menu() const {
    const PresetManager* manager = owner_.componentPresetManager(type_);
    if (!manager) return {};
    return presetTreeMenu(*manager, currentPath_, false);
}

std::string ComponentPresetHandler::folder() const {
    const PresetManager* manager = owner_.componentPresetManager(type_);
    return manager ? manager->path() : std::string();
}

std::string ComponentPresetHandler::fileFilter() const {
    return ComponentPresets::fileFilter(type_);
}

std::string ComponentPresetHandler::defaultExtension() const {
    return ComponentPresets::kTypes.at(static_cast<size_t>(type_)).extension + 1;
}
