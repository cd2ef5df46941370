#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One preset file of a scanned folder.
struct PresetEntry {
    std::string path;
    // The file name without its extension.
    std::string name;
    // The name, or "(bank/program) name" once the manager has numbered the entry.
    std::string displayName;
    int32_t bank = -1;
    int32_t program = -1;

    // An entry for a file that may lie outside any scanned folder ("Open Other Preset...").
    static PresetEntry fromPath(const std::string& path);
};

// Milliseconds of a steady clock; scans take one so that tests can run out of time on purpose.
using ScanClock = int64_t (*)();
int64_t steadyMilliseconds();

// Case-insensitive order in which a name that is a prefix of another comes first.
bool presetNameLess(const std::string& a, const std::string& b);

// A folder of preset files with the given extension and its subfolders, scanned once at
// construction within a time budget. A folder whose name begins with "_" is pinned: it sorts
// before the others and shows its name without the "_".
class PresetFolder {
public:
    PresetFolder(const std::string& path, const std::string& extension, int budgetMs,
                 ScanClock clock = steadyMilliseconds);
    virtual ~PresetFolder() = default;
    PresetFolder(const PresetFolder&) = delete;
    PresetFolder& operator=(const PresetFolder&) = delete;

    // Always ends in "/" (empty when the folder is).
    const std::string& path() const { return path_; }
    // The shown name: the last path component without a leading "_".
    const std::string& name() const { return name_; }
    void setName(const std::string& name) { name_ = name; }
    bool isPinned() const { return pinned_; }
    const std::string& extension() const { return extension_; }
    const std::vector<std::unique_ptr<PresetFolder>>& subfolders() const { return subfolders_; }
    const std::vector<PresetEntry>& presets() const { return presets_; }
    std::vector<PresetEntry>& presets() { return presets_; }
    bool isEmpty() const { return subfolders_.empty() && presets_.empty(); }

    // Post-order: every subfolder's entries (recursively, in sorted order) before the folder's own.
    void collect(std::vector<PresetEntry*>& out);
    void collect(std::vector<const PresetEntry*>& out) const;

protected:
    // Forgets the lists and scans path again.
    void scan(const std::string& path, int budgetMs);

private:
    std::string extension_;
    ScanClock clock_;
    std::string path_;
    std::string name_;
    bool pinned_ = false;
    std::vector<std::unique_ptr<PresetFolder>> subfolders_;
    std::vector<PresetEntry> presets_;
};
