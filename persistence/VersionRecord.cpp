#include "persistence/VersionRecord.h"

#include "persistence/UserFolders.h"

VersionRecord::VersionRecord()
    : VersionRecord(VORN_VERSION_MAJOR, VORN_VERSION_MINOR, VORN_VERSION_PATCH) {}

VersionRecord::VersionRecord(int majorVersion, int minorVersion, int patchVersion, int betaVersion)
    : major_(majorVersion), minor_(minorVersion), patch_(patchVersion), beta_(betaVersion) {}

std::string VersionRecord::versionString() const {
    std::string text =
        std::to_string(major_) + "." + std::to_string(minor_) + std::to_string(patch_);
    if (beta_ > 0) text += " beta " + std::to_string(beta_);
    return text;
}

std::string VersionRecord::folderName() const {
    return major_ > 1 ? productName_ + " " + std::to_string(major_) : productName_;
}

std::string VersionRecord::settingsKey() const {
    return productName_ + "/" + std::to_string(major_) + ".0";
}

std::string VersionRecord::userDataFolder() const {
    return UserFolders::applicationData() + "/" + folderName();
}

std::string VersionRecord::defaultPresetFolder() const {
    return UserFolders::documents() + "/" + folderName() + " Presets";
}
