#pragma once

#include <string>

// Where the product keeps its files: the XDG base folders, resolved on every call so that tests
// can point them at temporary folders.
namespace UserFolders {

constexpr const char* kProductName = "Vorn";

// $XDG_DATA_HOME, else ~/.local/share.
std::string applicationData();
// applicationData()/Vorn: wave-table cache, component presets, controller map.
std::string userData();
// $XDG_CONFIG_HOME, else ~/.config: the settings store.
std::string configuration();
// $XDG_DOCUMENTS_DIR, else ~/Documents: the default preset folder goes there.
std::string documents();

}  // namespace UserFolders
