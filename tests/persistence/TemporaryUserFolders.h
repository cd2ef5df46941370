#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

// Points XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_DOCUMENTS_DIR at fresh folders for the lifetime of
// the object, then restores them and removes the folders.
class TemporaryUserFolders {
public:
    TemporaryUserFolders() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vorn-user-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
        for (const Variable& v : kVariables) {
            const char* old = std::getenv(v.name);
            saved_[&v - kVariables] = old ? std::optional<std::string>(old) : std::nullopt;
            setenv(v.name, (root_ / v.folder).c_str(), 1);
        }
    }
    ~TemporaryUserFolders() {
        for (const Variable& v : kVariables) {
            const auto& old = saved_[&v - kVariables];
            if (old) {
                setenv(v.name, old->c_str(), 1);
            } else {
                unsetenv(v.name);
            }
        }
        std::error_code error;
        std::filesystem::remove_all(root_, error);
    }
    TemporaryUserFolders(const TemporaryUserFolders&) = delete;
    TemporaryUserFolders& operator=(const TemporaryUserFolders&) = delete;

    std::filesystem::path config() const { return root_ / "config"; }
    std::filesystem::path data() const { return root_ / "data"; }
    std::filesystem::path documents() const { return root_ / "documents"; }

private:
    struct Variable {
        const char* name;
        const char* folder;
    };
    static constexpr Variable kVariables[] = {
        {"XDG_CONFIG_HOME", "config"},
        {"XDG_DATA_HOME", "data"},
        {"XDG_DOCUMENTS_DIR", "documents"},
    };

    std::filesystem::path root_;
    std::optional<std::string> saved_[3];
};
