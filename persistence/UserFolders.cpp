#include "persistence/UserFolders.h"

#include <cstdlib>

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

std::string userData() {
    return applicationData() + "/" + kProductName;
}

std::string configuration() {
    return fromEnvironment("XDG_CONFIG_HOME", "/.config");
}

std::string documents() {
    return fromEnvironment("XDG_DOCUMENTS_DIR", "/Documents");
}

}  // namespace UserFolders
