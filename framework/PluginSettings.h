#pragma once

#include <memory>
#include <string>

#include "framework/GenericPlugin.h"
#include "framework/Property.h"

class SettingSerializer;

// Settings are properties; any change marks the object dirty so that it is written back later.
class GenericPlugin::SettingsBase : public PropertyOwner {
public:
    void propertyChanged(const void* /*property*/) override { dirty_ = true; }
    bool isDirty() const { return dirty_; }
    void markDirty() { dirty_ = true; }
    void clearDirty() { dirty_ = false; }

    // Reads or writes every value, in the order of the store.
    virtual void serialize(SettingSerializer& /*serializer*/) {}

private:
    bool dirty_ = false;
};

// Per-instance settings of a product; products derive their own.
class GenericPlugin::Settings : public GenericPlugin::SettingsBase {};

// One object for all instances in the process.
class GenericPlugin::SharedSettings : public GenericPlugin::SettingsBase {
public:
    static constexpr int kMaxConserveMemory = 4;
    static constexpr int kDefaultGraphicsAcceleration = 1;

    LimitedProperty<int> conserveMemory{this, 0, kMaxConserveMemory, 0};
    Property<bool> correctDigiProductIds{this, true};
    Property<bool> enableMidiProgramChanges{this, false};
    Property<int> graphicsAcceleration{this, kDefaultGraphicsAcceleration};
    Property<bool> savePresetItemEnabled{this, false};
    Property<bool> showInteractiveHelp{this, true};
    Property<bool> showWelcomeHint{this, false};
    Property<bool> showComponentDisplays{this, true};

    void serialize(SettingSerializer& serializer) override;
};

// What outlives the process: the settings store, the learned MIDI controller map with its file and
// the version they belong to. The product installs one (createStorage); without it nothing is
// kept, every setting keeps its default and no controller is mapped.
class GenericPlugin::Storage {
public:
    enum class SettingsKey {
        Product,  // this product's values, one key per major version
        Common,   // values shared by every version (the graphics back end)
    };

    virtual ~Storage() = default;

    virtual std::unique_ptr<SettingSerializer> openSettings(SettingsKey key, bool writing) = 0;
    // Stored as "CurrentVersion"; a different stored text means a first run of this version.
    virtual std::string versionString() const = 0;
    virtual std::string defaultPresetFolder() const = 0;
    // The map from the user's file. False when it is missing or damaged; see
    // MidiControllerMap::readMap for what a damaged file leaves in the map.
    virtual bool loadControllerMap() = 0;
    virtual bool saveControllerMap() = 0;
    // Clears the map, then reads the built-in one when the program carries it.
    virtual void resetControllerMap() = 0;
};
