#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "persistence/PresetFolder.h"

// The preset tree of one kind of preset (whole presets or one component type) with extra folders
// shown after it, numbered flat for MIDI program changes: entry k is bank k / 128, program
// k % 128. Entries handed out are copies, so they stay valid across rescans.
class PresetManager : public PresetFolder {
public:
    static constexpr int kScanBudgetMs = 2500;
    static constexpr int kProgramsPerBank = 128;
    // stepFrom directions; anything else returns the entry itself.
    static constexpr int kPrevious = 0;
    static constexpr int kNext = 2;

    PresetManager(const std::string& path, const std::string& extension,
                  int budgetMs = kScanBudgetMs, ScanClock clock = steadyMilliseconds);

    // Scans the new folder and renumbers; the extra folders stay.
    void setFolder(const std::string& path);
    // setFolder on the current folder (after a save or a factory restore).
    void rescan() { setFolder(path()); }
    // Scans a folder and shows it after the main tree, titled displayName when one is given.
    void addExtraFolder(const std::string& path, const std::string& displayName = "");
    const std::vector<std::unique_ptr<PresetFolder>>& extraFolders() const { return extraFolders_; }

    // The flat list: the main tree, then each extra folder, each in post-order.
    std::vector<PresetEntry> allPresets() const;
    // How many entries of allPresets come from the main tree.
    int mainTreePresetCount() const { return mainTreeCount_; }

    // The entry at flat index bank * 128 + program.
    std::optional<PresetEntry> presetAt(int bank, int program) const;
    // The first entry in flat order whose name equals name exactly.
    std::optional<PresetEntry> findByName(const std::string& name) const;
    // The entry before (kPrevious) or after (kNext) the one with this path, wrapping around; an
    // entry of the main tree wraps within the main tree. None when no entry has the path.
    std::optional<PresetEntry> stepFrom(const std::string& path, int direction) const;

private:
    void renumber();
    std::vector<const PresetEntry*> flat() const;

    int budgetMs_;
    ScanClock clock_;
    std::vector<std::unique_ptr<PresetFolder>> extraFolders_;
    int mainTreeCount_ = 0;
};

// Texts the user sees around presets.
namespace PresetTexts {
inline constexpr const char* kOpenFailed =
    "The preset file could not be opened. It could be corrupt, from another Quorvalis plug-in, or "
    "it was written by an incompatible version of this plug-in.";
inline constexpr const char* kConfirmRestore =
    "Are you sure you want to restore the factory presets?\n\nIf you have overwritten any "
    "factory presets or the default preset, your changes will be undone.";
inline constexpr const char* kRestoreFailed =
    "Error: Unable to restore all factory presets.\n\nPlease make sure that your current preset "
    "folder path is valid and that your preset folder is not read-only.";
inline constexpr const char* kNoPresets = "(No Presets)";
inline constexpr const char* kSave = "Save";
inline constexpr const char* kSaveAs = "Save As...";
inline constexpr const char* kOptions = "Options";
inline constexpr const char* kEnableProgramChanges = "Enable MIDI Program Changes";
inline constexpr const char* kSaveAsDefault = "Save As Default";
inline constexpr const char* kOpenOther = "Open Other Preset...";
inline constexpr const char* kChangeFolder = "Change Preset Folder...";
inline constexpr const char* kRestoreFactory = "Restore Factory Presets";
inline constexpr const char* kChangeFolderTitle = "Select a folder to store your presets";
inline constexpr const char* kSaveFilter = "Quorvalis Preset (*.qvp)|*.qvp|Any File (*.*)|*.*";
inline constexpr const char* kOpenFilter = "Quorvalis Presets (*.qvp)|*.qvp|All Files (*.*)|*.*";
}  // namespace PresetTexts

// The preset menu as data; the editor turns it into its own menus. Built afresh each time the
// menu opens.
struct PresetMenuItem {
    enum class Kind { Preset, Submenu, Empty, Separator, Command };
    enum class Command {
        None,
        Save,
        SaveAs,
        EnableProgramChanges,
        SaveAsDefault,
        OpenOther,
        ChangeFolder,
        RestoreFactory
    };

    Kind kind = Kind::Empty;
    std::string text;
    // A preset: it is the current one. A submenu: the current preset lies inside.
    // "Enable MIDI Program Changes": the setting is on.
    bool checked = false;
    PresetEntry entry;
    Command command = Command::None;
    std::vector<PresetMenuItem> items;
};

struct PresetMenuOptions {
    std::string currentPath;
    // "EnableMIDIProgramChanges": numbered display names, and the option is checked.
    bool programChanges = false;
    // "SavePresetItemEnabled": the menu offers "Save".
    bool saveItem = false;
};

// A folder's subfolders as submenus, then its presets; "(No Presets)" when it has neither.
std::vector<PresetMenuItem> presetTreeMenu(const PresetFolder& folder,
                                           const std::string& currentPath, bool numbered);
// The whole-preset menu: the main tree, the extra folders, the save items and the options.
std::vector<PresetMenuItem> presetMenu(const PresetManager& manager,
                                       const PresetMenuOptions& options);
