#pragma once

#include "framework/PluginSettings.h"
#include "midi/MidiControllerMap.h"
#include "persistence/VersionRecord.h"

// The core's storage on this platform: settings in the settings store under the version's key,
// the controller map with its file in the user data folder, the built-in map from the resources.
class PluginStorage : public GenericPlugin::Storage {
public:
    static constexpr const char* kControllerMapFile = "MidiControllerMap.qvm";
    static constexpr const char* kControllerMapResource = "MIDICONTROLLERMAP";

    explicit PluginStorage(VersionRecord version = VersionRecord());

    std::unique_ptr<SettingSerializer> openSettings(SettingsKey key, bool writing) override;
    std::string versionString() const override { return version_.versionString(); }
    std::string defaultPresetFolder() const override { return version_.defaultPresetFolder(); }
    bool loadControllerMap() override;
    bool saveControllerMap() override;
    void resetControllerMap() override;

    const VersionRecord& version() const { return version_; }
    std::string controllerMapPath() const;
    // The learned assignments every instance's MIDI receivers read.
    MidiControllerMap& controllerMap() { return controllerMap_; }

private:
    VersionRecord version_;
    MidiControllerMap controllerMap_;
    bool mapKept_ = false;  // the file is there but could not be read
};
