#pragma once

#include <memory>
#include <string>

// Single pass over the entries of one folder whose names match a wildcard pattern. The order of
// the entries is the file system's.
class FileEnumerator {
public:
    // Mode that returns only directories, "." and ".." among them; any other mode returns only
    // entries that are not directories.
    static constexpr int kDirectories = 1;
    static constexpr int kFiles = 0;

    virtual ~FileEnumerator() = default;
    // Moves to the next matching entry; false at the end and on any failure, and from then on.
    virtual bool next() = 0;
    // Name of the current entry, without its folder.
    virtual const std::string& name() const = 0;
};

// `pattern` is a path whose last component may hold wildcards ("/presets/*.qvp").
std::unique_ptr<FileEnumerator> createFileEnumerator(const std::string& pattern, int mode);
