#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "persistence/ComponentPresetHandler.h"
#include "persistence/ComponentPresetTypes.h"
#include "persistence/ParameterCollection.h"
#include "persistence/PresetManager.h"

class VornPlugin;

// The synthesizer's presets: loading and saving whole presets as the current preset, the default
// preset at start, MIDI program changes, the preset menu's commands, and the component
// collections with their preset managers. The managers are process-wide: the first instance
// creates them (and fills an empty preset folder from the factory archive), the last destroys
// them.
class VornPresets : public ComponentPresetOwner {
public:
    // Record version of every component type.
    static constexpr int kComponentVersion = 8;
    static constexpr const char* kPresetExtension = ".qvp";

    // Shows an information box with the text (the editor's, or the command line's stderr).
    using MessageSink = std::function<void(const std::string&)>;

    // Built last by the plug-in: it loads the default preset.
    explicit VornPresets(VornPlugin& plugin);
    ~VornPresets() override;
    VornPresets(const VornPresets&) = delete;
    VornPresets& operator=(const VornPresets&) = delete;

    // Index -1: the whole-preset manager; 0..6: the component type's. Null while no instance
    // lives.
    static PresetManager* presetManager(int index);
    static void destroyGlobals();
    // Tools that build presets from a plug-in's built-in defaults turn off what instances do at
    // start: the factory install and the "Default Sound" load. On unless turned off.
    static void setStartupPresets(bool on);
    static bool startupPresets();

    void setMessageSink(MessageSink messages) { messages_ = std::move(messages); }

    // Loads the entry inside one change batch with the loading flag set. On success it becomes
    // the current preset (name, path, not modified) and the preset change is announced; on
    // failure the "could not be opened" text is shown and name and path stay.
    bool loadPreset(const PresetEntry& entry);
    // Writes the whole state as a current record, rescans the preset folder and makes the file
    // the current preset. False when the file could not be written.
    bool savePreset(const std::string& path);
    // "Default Sound", the first so named in flat order; false when there is none.
    bool loadDefaultPreset();

    // Preset menu commands; the dialogs that ask for paths are the editor's.
    std::vector<PresetMenuItem> menu() const;
    // "Save": to the current path; nothing without one.
    bool saveCurrent();
    bool saveAsDefault();
    bool openOther(const std::string& path);
    // Scans the new folder, keeps it as the "PresetFolder" setting and writes the settings.
    void changePresetFolder(const std::string& path);
    // Extracts the factory archive with overwriting and rescans; failure shows the error text.
    bool restoreFactoryPresets();
    // Previous (PresetManager::kPrevious) or next (kNext) preset from the current one.
    bool stepPreset(int direction);

    // MIDI program changes. The audio thread only records the request (when
    // "EnableMIDIProgramChanges" is on); a host or editor thread loads it with
    // loadPendingProgram. A request with no preset at its place does nothing.
    void programChange(int bank, int program);
    bool loadPendingProgram();
    void resetProgramChange() { pendingProgram_.store(kNoProgram, std::memory_order_relaxed); }

    // Component collections: one per instance of the type's section, in the order of the
    // sections' parameter sets.
    int componentInstanceCount(int type) const;
    ParameterCollection componentCollection(int type, int instance) const;
    // The instance whose collection holds the parameter id; -1 when none does.
    int componentInstanceOf(int type, int parameterId) const;

    // ComponentPresetOwner
    bool loadComponentPreset(const PresetEntry& entry, int version, int type,
                             int instance) override;
    int componentPresetVersion(int /*type*/) override { return kComponentVersion; }
    bool saveComponentPreset(int type, int instance, const std::string& path) override;
    PresetManager* componentPresetManager(int type) override;

private:
    static constexpr int kNoProgram = -1;

    // Creates the managers if this is the first instance and follows the "PresetFolder" setting.
    void attachManagers();
    void showMessage(const char* text) const;

    VornPlugin& plugin_;
    MessageSink messages_;
    std::atomic<int> pendingProgram_{kNoProgram};
};

// For the factory preset compiler: writes the instance's component collection of a plug-in whose
// parameters were set. False when the file could not be written.
bool writeComponentPreset(VornPlugin& plugin, int type, int instance, const std::string& path);
