#include "persistence/UserFolders.h"

#include <cstdlib>

namespace {

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

}  // namespace UserFolders
