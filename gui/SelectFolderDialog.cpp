#include "gui/SelectFolderDialog.h"

namespace gui {

SelectFolderDialog& SelectFolderDialog::show(RootControl& root, const std::filesystem::path& folder,
                                             Chosen chosen, Cancelled cancelled,
                                             std::string title) {
    auto dialog = std::make_unique<SelectFolderDialog>(std::move(title), std::move(chosen),
                                                       std::move(cancelled));
    SelectFolderDialog& d = Dialog::show(root, std::move(dialog));
    if (!d.enter(folder.empty() ? std::filesystem::current_path() : folder))
        d.enter(std::filesystem::current_path());
    return d;
}

SelectFolderDialog::SelectFolderDialog(std::string title, Chosen chosen, Cancelled cancelled)
    : FileDialog(std::move(title), {}, true, std::move(chosen), std::move(cancelled)) {
    addButton("Select", [this] { accept(); });
    addButton("Cancel", [this] { cancel(); });
    setCancelButton(1);
}

void SelectFolderDialog::accept() {
    const int i = list().selected();
    finish(i >= 0 ? folder() / listing().entries[i].name : folder());
}

}  // namespace gui
