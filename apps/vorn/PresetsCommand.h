#pragma once

#include <cstdio>
#include <string>

namespace CLI {
class App;
}

class VornPlugin;

// "vorn presets list | info FILE | restore [--overwrite]": the preset folder's flat list with the
// numbers program changes use, what a preset or component preset file holds (as the lines of a
// text preset), and the factory presets put back into the preset folder.
class PresetsCommand {
public:
    explicit PresetsCommand(CLI::App& app);

    bool selected() const;
    // Prints results to out, errors to err; returns the exit status.
    int run(std::FILE* out = stdout, std::FILE* err = stderr) const;

private:
    int list(std::FILE* out, std::FILE* err) const;
    int info(std::FILE* out, std::FILE* err) const;
    int restore(std::FILE* out, std::FILE* err) const;

    CLI::App* command_;
    CLI::App* list_;
    CLI::App* info_;
    CLI::App* restore_;
    std::string file_;
    bool overwrite_ = false;
};

// Loads a preset named in the preset folder (a name) or a file (a path), as `vorn render
// --preset` does; prints why not to err, prefixed by the command's name, and returns false.
bool loadNamedPreset(VornPlugin& plugin, const std::string& nameOrFile, const std::string& command,
                     std::FILE* err);
