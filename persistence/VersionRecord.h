#pragma once

#include <string>

// The product and the version that runs, and the places derived from them: the settings key, the
// user data folder and the default preset folder. The numbers come from the build
// (VORN_VERSION_MAJOR/MINOR/PATCH); tests make records of other versions.
class VersionRecord {
public:
    static constexpr const char* kProductName = "Vorn";
    // Settings shared by every version of the product (the graphics back end).
    static constexpr const char* kCommonSettingsKey = "Vorn/Common";

    VersionRecord();
    VersionRecord(int majorVersion, int minorVersion, int patchVersion, int betaVersion = 0);

    const std::string& productName() const { return productName_; }
    int majorVersion() const { return major_; }
    int minorVersion() const { return minor_; }
    int patchVersion() const { return patch_; }
    int betaVersion() const { return beta_; }

    // Major "." minor with the patch written straight after ("2.03" for 2.0.3), then " beta " and
    // the beta number when it is positive.
    std::string versionString() const;
    // "Vorn", or "Vorn 2" and so on once the major version passes 1.
    std::string folderName() const;
    // The product's own settings key, one per major version: "Vorn/1.0".
    std::string settingsKey() const;
    // $XDG_DATA_HOME/<folderName>.
    std::string userDataFolder() const;
    // <documents>/<folderName> Presets.
    std::string defaultPresetFolder() const;

private:
    std::string productName_ = kProductName;
    int major_;
    int minor_;
    int patch_;
    int beta_;
};
