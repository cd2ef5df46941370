#include "persistence/PluginStorage.h"

#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "persistence/AtomicFile.h"
#include "persistence/RegistrySerializer.h"
#include "persistence/ResourceOpener.h"

PluginStorage::PluginStorage(VersionRecord version) : version_(std::move(version)) {}

std::unique_ptr<SettingSerializer> PluginStorage::openSettings(SettingsKey key, bool writing) {
    std::string path =
        key == SettingsKey::Product ? version_.settingsKey() : VersionRecord::kCommonSettingsKey;
    if (writing) return std::make_unique<RegistryWriter>(std::move(path));
    return std::make_unique<RegistryReader>(std::move(path));
}

std::string PluginStorage::controllerMapPath() const {
    return version_.userDataFolder() + "/" + kControllerMapFile;
}

bool PluginStorage::loadControllerMap() {
    std::ifstream in(controllerMapPath(), std::ios::binary);
    if (!in) return false;
    // Anything past the ids is ignored, so a larger file need not be read.
    std::vector<uint8_t> bytes(MidiControllerMap::kFileSize);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return controllerMap_.readMap(bytes);
}

bool PluginStorage::saveControllerMap() {
    std::error_code error;
    std::filesystem::create_directories(version_.userDataFolder(), error);
    const MidiControllerMap::FileBytes bytes = controllerMap_.writeMap();
    return writeFileAtomically(controllerMapPath(), bytes);
}

void PluginStorage::resetControllerMap() {
    controllerMap_.clear();
    if (resourceExists(kControllerMapResource))
        controllerMap_.readMap(openResource(kControllerMapResource));
}
