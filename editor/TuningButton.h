#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "gui/Menu.h"
#include "gui/SelectButton.h"

class VornPlugin;
class TuningTable;

// The tuning in force, by name, with a menu that loads a Scala scale or keyboard map from a file
// or returns to equal temperament. A refused file is reported with its reason and line, and the
// tuning stays as it was.
class TuningButton : public gui::PopupButton {
public:
    enum Item { kLoadScale = 1, kLoadKeymap, kEqualTemperament };
    static constexpr const char* kEqualName = "12-TET";
    // Larger files are refused unread: Scala files are text of a few kilobytes.
    static constexpr std::uintmax_t kMaxFileBytes = 1 << 20;

    // `changed` follows every tuning set from here, for the host to save it.
    TuningButton(VornPlugin& plugin, std::function<void()> changed);

    // The name of the tuning in force: the scale's description, else its file's name.
    std::string name() const;
    gui::Menu buildMenu() const;
    void choose(int id);
    // Follows tunings set elsewhere, such as a restored session.
    void refresh();
    // Reads a .scl (or with `keymap`, a .kbm) file into the tuning; false with the reason shown.
    bool load(const std::filesystem::path& path, bool keymap);

    void paint(gui::Graphics& g) override;

private:
    void browse(bool keymap);
    void report(const std::string& text);

    VornPlugin& plugin_;
    std::function<void()> changed_;
    // Whether the tuning in force is the one loaded here, whose files' names are known.
    bool ours(const TuningTable& table) const;

    std::string scaleText_, keymapText_;
    std::string scaleFile_, keymapFile_;
    std::filesystem::path folder_;
};
