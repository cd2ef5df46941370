#include "persistence/UserFolders.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// Relative values are ignored, as the XDG base directory rules ask.
std::string fromEnvironment(const char* variable, const char* homeRelative) {
    const char* value = std::getenv(variable);
    if (value && *value == '/') return value;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + homeRelative;
}

}  // namespace

namespace UserFolders {

std::string applicationData() {
    return fromEnvironment("XDG_DATA_HOME", "/.local/share");
}

std::string configuration() {
    return fromEnvironment("XDG_CONFIG_HOME", "/.config");
}

std::string documents() {
    const char* value = std::getenv("XDG_DOCUMENTS_DIR");
    if (value && *value == '/') return value;
    std::ifstream file(configuration() + "/user-dirs.dirs");
    std::stringstream text;
    text << file.rdbuf();
    const char* home = std::getenv("HOME");
    const std::string entry =
        userDirsEntry(text.str(), "XDG_DOCUMENTS_DIR", home && *home ? home : "/tmp");
    return entry.empty() ? fromEnvironment("XDG_DOCUMENTS_DIR", "/Documents") : entry;
}

std::string userDirsEntry(const std::string& text, const std::string& name,
                          const std::string& home) {
    std::istringstream lines(text);
    std::string line, found;
    const std::string prefix = name + "=\"";
    while (std::getline(lines, line)) {
        if (line.rfind(prefix, 0) != 0 || line.size() < prefix.size() + 1 || line.back() != '"')
            continue;
        std::string path = line.substr(prefix.size(), line.size() - prefix.size() - 1);
        // The file's own rule: a path relative to $HOME, or an absolute one.
        if (path.rfind("$HOME", 0) == 0 && (path.size() == 5 || path[5] == '/'))
            path = home + path.substr(5);
        else if (path.empty() || path.front() != '/')
            continue;
        found = path;  // the last line wins, as in the desktop's own reader
    }
    return found;
}

}  // namespace UserFolders
