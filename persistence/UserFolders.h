#pragma once

#include <string>

// Where the product keeps its files: the XDG base folders, resolved on every call so that tests
// can point them at temporary folders.
// The product's own folders below them are VersionRecord's.
namespace UserFolders {

// $XDG_DATA_HOME, else ~/.local/share.
std::string applicationData();
// $XDG_CONFIG_HOME, else ~/.config: the settings store.
std::string configuration();
// $XDG_DOCUMENTS_DIR, else the desktop's documents folder from user-dirs.dirs in the
// configuration folder, else ~/Documents: the default preset folder goes there.
std::string documents();
// The value of one line `NAME="$HOME/path"` or `NAME="/path"` of a user-dirs.dirs text, with
// $HOME expanded; empty when the name is missing or its value is neither form.
std::string userDirsEntry(const std::string& text, const std::string& name,
                          const std::string& home);

}  // namespace UserFolders
