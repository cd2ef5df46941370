#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "gui/Dialog.h"

namespace gui {

class Label;
class ScrollArea;
class TextEditor;

// One name in a folder listing.
struct FolderEntry {
    std::string name;
    bool folder = false;
};

// A folder's entries: folders first, then files, each by name ignoring case. Hidden names,
// files without the extension (when one is given) and links that lead nowhere or in a circle
// are left out. `error` says why the folder could not be read.
struct FolderListing {
    std::vector<FolderEntry> entries;
    std::string error;
};
FolderListing readFolder(const std::filesystem::path& folder, std::string_view extension,
                         bool foldersOnly);

// The rows of a listing, one of them selected; double click or Enter opens one.
class FolderList : public Control {
public:
    void setListing(FolderListing listing);
    const FolderListing& listing() const { return listing_; }
    int selected() const { return selected_; }
    void select(int index);
    Rect rowBounds(int index) const;
    // The height of the rows (of the message when there are none).
    int32_t rows() const;

    std::function<void(int index)> onSelect;
    std::function<void(int index)> onOpen;

    void paint(Graphics& g) override;
    bool mouseDown(const MouseEvent& e) override;
    bool mouseDoubleClick(const MouseEvent& e) override;
    bool keyDown(const KeyEvent& e) override;

private:
    void paintRow(Graphics& g, const FolderEntry& entry, const Rect& r, bool lit);
    FolderListing listing_;
    int selected_ = -1;
};

// A dialog that browses folders: the folder's path with an Up button above its listing.
// Folders are entered by their real path, so links back up the tree never nest without end.
class FileDialog : public Dialog {
public:
    using Chosen = std::function<void(const std::filesystem::path& path)>;
    using Cancelled = std::function<void()>;
    static constexpr int32_t kWidth = 440;
    static constexpr int32_t kListHeight = 260;  // at most; less in a small window
    static constexpr int32_t kMinListHeight = 60;

    FileDialog(std::string title, std::string extension, bool foldersOnly, Chosen chosen,
               Cancelled cancelled);

    const std::filesystem::path& folder() const { return folder_; }
    const FolderListing& listing() const;
    // The names listed now, in order.
    std::vector<std::string> names() const;
    FolderList& list() { return *list_; }
    // Shows another folder; false, with the reason shown, when it cannot be entered.
    bool enter(const std::filesystem::path& folder);
    void up();

protected:
    // Double click or Enter on an entry.
    virtual void entryOpened(const FolderEntry& entry);
    virtual void entrySelected(const FolderEntry&) {}
    void resized() override;
    // A row under the listing, for more controls.
    Component& addFooter(int32_t height);
    void finish(const std::filesystem::path& path);
    void cancel();
    const std::string& extension() const { return extension_; }

private:
    void layoutBody();

    std::filesystem::path folder_;
    std::string extension_;
    bool foldersOnly_;
    Chosen chosen_;
    Cancelled cancelled_;
    Button* upButton_;
    Label* pathLabel_;
    ScrollArea* scroll_;
    FolderList* list_;
    Component* footer_ = nullptr;
    int32_t footerHeight_ = 0;
};

// Chooses a file to open, or a name to save to. Saving adds the extension when it is missing and
// asks before replacing a file.
class OpenSaveDialog : public FileDialog {
public:
    enum class Mode { Open, Save };
    struct Options {
        Mode mode = Mode::Open;
        std::filesystem::path folder;
        std::string extension;  // with its dot, like ".vpr"; empty for every file
        std::string fileName;   // proposed when saving
        std::string title;      // "Open" or "Save" when empty
    };

    static OpenSaveDialog& show(RootControl& root, Options options, Chosen chosen,
                                Cancelled cancelled = {});
    OpenSaveDialog(Options options, Chosen chosen, Cancelled cancelled);

    Mode mode() const { return mode_; }
    // The file name field (saving only).
    TextEditor* nameEditor() const { return name_; }
    // The default button: open the selection, or save under the typed name.
    void accept();

protected:
    void opened() override;
    void entryOpened(const FolderEntry& entry) override;
    void entrySelected(const FolderEntry& entry) override;

private:
    void save(std::string name);

    Mode mode_;
    TextEditor* name_ = nullptr;
};

}  // namespace gui
