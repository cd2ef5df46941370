#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "persistence/SettingsStore.h"

inline std::vector<uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Creates the missing folders on the way.
inline void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// Writes the text (creating the folders on the way) and returns the path.
inline std::string createTextFile(const std::filesystem::path& path, const std::string& text) {
    writeBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
    return path.string();
}

// Sets one value of a settings key and keeps the others.
inline void storeSetting(const std::string& key, const std::string& name,
                         SettingsStore::Value value) {
    SettingsStore store(key);
    store.load();
    store.set(name, std::move(value));
    ASSERT_TRUE(store.save());
}

// Points XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_DOCUMENTS_DIR at fresh folders for the lifetime of
// the object, then restores them and removes the folders.
class TemporaryUserFolders {
public:
    TemporaryUserFolders() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vorn-user-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
        for (size_t i = 0; i < kNames.size(); ++i) {
            if (const char* old = std::getenv(kNames[i])) saved_[i] = old;
            setenv(kNames[i], (root_ / kFolders[i]).c_str(), 1);
        }
    }
    ~TemporaryUserFolders() {
        for (size_t i = 0; i < kNames.size(); ++i) {
            if (saved_[i]) {
                setenv(kNames[i], saved_[i]->c_str(), 1);
            } else {
                unsetenv(kNames[i]);
            }
        }
        std::error_code error;
        std::filesystem::remove_all(root_, error);
    }
    TemporaryUserFolders(const TemporaryUserFolders&) = delete;
    TemporaryUserFolders& operator=(const TemporaryUserFolders&) = delete;

    // The fresh folder that holds the three; a test may use it for files of its own.
    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path config() const { return root_ / kFolders[0]; }
    std::filesystem::path data() const { return root_ / kFolders[1]; }
    std::filesystem::path documents() const { return root_ / kFolders[2]; }

private:
    static constexpr std::array<const char*, 3> kNames = {"XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                                          "XDG_DOCUMENTS_DIR"};
    static constexpr std::array<const char*, 3> kFolders = {"config", "data", "documents"};

    std::filesystem::path root_;
    std::optional<std::string> saved_[3];
};
