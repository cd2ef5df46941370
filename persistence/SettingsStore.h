#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// The settings "registry": typed named values under key paths. Each key path ("Vorn/1.0") is one
// text file under $XDG_CONFIG_HOME ("Vorn/1.0.conf"), one value a line:
//   name <TAB> dword|string|binary <TAB> value
// A dword is a decimal 32-bit number, a string is UTF-8 with backslash, tab, newline, return and
// NUL escaped as \\ \t \n \r \0 (names too, and a leading '#' as \#), binary is lower-case hex.
// Lines starting with '#', blank lines and malformed lines are skipped; a later line for the same
// name wins.
class SettingsStore {
public:
    enum class Type : uint8_t { Dword, String, Binary };

    struct Value {
        Type type = Type::Dword;
        uint32_t dword = 0;
        std::string text;
        std::vector<uint8_t> bytes;

        static Value ofDword(uint32_t v);
        static Value ofString(std::string v);
        static Value ofBinary(std::vector<uint8_t> v);
        bool operator==(const Value&) const = default;
    };
    using Values = std::map<std::string, Value, std::less<>>;

    static constexpr const char* kFileExtension = ".conf";

    // Key paths are '/'-separated names; one with an empty, "." or ".." part names no file.
    explicit SettingsStore(std::string keyPath);

    // The file of the key, empty for an invalid key path.
    const std::string& filePath() const { return filePath_; }

    // Replaces the values by the file's; false when the file is missing or unreadable (the
    // values are then empty).
    bool load();
    // Whether the last load found no file or read every line of it: a file that could not be
    // read, or held lines of no known form, must not be written over.
    bool writable() const { return writable_; }
    // Writes every value, creating the folders; readers see the old file or the whole new one.
    bool save() const;

    // Null when there is no value of that name.
    const Value* find(std::string_view name) const;
    void set(const std::string& name, Value value);
    const Values& values() const { return values_; }

    // Malformed lines are skipped; `clean` tells whether there were none.
    static Values parse(std::string_view text, bool* clean = nullptr);
    static std::string format(const Values& values);

private:
    static constexpr size_t kLargestFile = 16 << 20;

    std::string filePath_;
    Values values_;
    bool writable_ = true;
};
