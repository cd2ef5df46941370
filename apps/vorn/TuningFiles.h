#pragma once

#include <cstdio>
#include <string>

class VornPlugin;

// The texts of a Scala scale and its optional keyboard map, as read from their files.
struct TuningFiles {
    // Far above any real scale (1,024 notes take some 20 kB).
    static constexpr size_t kMaxBytes = 1 << 20;

    std::string scale;
    std::string keymap;

    // Reads both files (keymapPath may be empty); false and a message naming the file otherwise.
    bool read(const std::string& scalePath, const std::string& keymapPath, std::string& error);
};

// Reads the files and tunes the plug-in; prints "COMMAND: FILE: line N: why" to err and returns
// false when a file is missing or refused, keeping the tuning in force.
bool tuneFromFiles(VornPlugin& plugin, const std::string& scalePath, const std::string& keymapPath,
                   const char* command, std::FILE* err, TuningFiles* texts = nullptr);
