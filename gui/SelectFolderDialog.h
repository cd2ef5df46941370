#pragma once

#include "gui/OpenSaveDialog.h"

namespace gui {

// Chooses a folder: the selected one, or the one shown when none is selected.
class SelectFolderDialog : public FileDialog {
public:
    static SelectFolderDialog& show(RootControl& root, const std::filesystem::path& folder,
                                    Chosen chosen, Cancelled cancelled = {},
                                    std::string title = "Select Folder");
    SelectFolderDialog(std::string title, Chosen chosen, Cancelled cancelled);

    void accept();
};

}  // namespace gui
