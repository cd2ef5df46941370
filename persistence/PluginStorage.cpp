#include "persistence/PluginStorage.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "framework/posix/RegularFile.h"
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
    // Anything past the ids is ignored; a much larger file is not a map.
    constexpr size_t kLargestMap = 1 << 20;
    std::vector<uint8_t> bytes;
    const bool read = readRegularFile(controllerMapPath(), &bytes, kLargestMap);
    mapKept_ = !read && errno != ENOENT;
    if (read) {
        if (bytes.size() > MidiControllerMap::kFileSize) bytes.resize(MidiControllerMap::kFileSize);
        mapKept_ = !controllerMap_.readMap(bytes);
    }
    // What could not be read is not written over at the end.
    if (mapKept_) {
        std::fprintf(stderr, "Vorn: %s could not be read; it is left unchanged\n",
                     controllerMapPath().c_str());
    }
    return read && !mapKept_;
}

bool PluginStorage::saveControllerMap() {
    if (mapKept_) return false;
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
