#pragma once

#include <functional>
#include <string>
#include <vector>

#include "persistence/PresetManager.h"

// Told when the user picks an entry of a preset menu.
class PresetListener {
public:
    virtual ~PresetListener() = default;
    virtual void presetSelected(const PresetEntry& entry) = 0;
};

// What a plug-in offers for component presets: one parameter collection per section instance.
class ComponentPresetOwner {
public:
    virtual ~ComponentPresetOwner() = default;
    // Loads a record of exactly `version` into the instance's collection.
    virtual bool loadComponentPreset(const PresetEntry& entry, int version, int type,
                                     int instance) = 0;
    virtual int componentPresetVersion(int type) = 0;
    // Writes the instance's collection with the type's version; false when the file was not made.
    virtual bool saveComponentPreset(int type, int instance, const std::string& path) = 0;
    // The type's process-wide manager; null when the owner has none.
    virtual PresetManager* componentPresetManager(int type) = 0;
};

// Binds one section instance (oscillator, filter, XLFO k...) to its type's preset manager: the
// menu of the section, loading the chosen entry or the type's "Default", and "Save As...".
class ComponentPresetHandler : public PresetListener {
public:
    // Shows an information box with the text.
    using MessageSink = std::function<void(const std::string&)>;

    ComponentPresetHandler(ComponentPresetOwner& owner, int type, int instance,
                           MessageSink messages = {});

    // Loads the entry; a failure shows the "could not be opened" text.
    void presetSelected(const PresetEntry& entry) override;
    // The type's first preset named "Default"; false when there is none or it did not load.
    bool loadDefault();
    // Writes the instance and rescans the type's folder.
    bool saveAs(const std::string& path);

    // The type's tree with plain names; the last loaded entry is checked.
    std::vector<PresetMenuItem> menu() const;
    // Where the save dialog starts, its filter and default extension (without the dot).
    std::string folder() const;
    std::string fileFilter() const;
    std::string defaultExtension() const;

    int type() const { return type_; }
    int instance() const { return instance_; }
    int version() const { return version_; }
    // Set after every successful load.
    const std::string& currentPath() const { return currentPath_; }

private:
    bool load(const PresetEntry& entry);

    ComponentPresetOwner& owner_;
    int type_;
    int instance_;
    int version_;
    MessageSink messages_;
    std::string currentPath_;
};
