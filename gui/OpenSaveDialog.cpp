#include "gui/OpenSaveDialog.h"

#include <algorithm>

#include "gui/Button.h"
#include "gui/Label.h"
#include "gui/Palette.h"
#include "gui/ScrollArea.h"
#include "gui/TextEditor.h"

namespace gui {
namespace fs = std::filesystem;
namespace {

constexpr int32_t kRowGap = 6;
constexpr int32_t kUpWidth = 44;
constexpr int32_t kNameLabelWidth = 72;

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool hasExtension(std::string_view name, std::string_view extension) {
    return extension.empty() ||
           (name.size() > extension.size() &&
            lower(name.substr(name.size() - extension.size())) == lower(extension));
}

// The end of a long path, which tells more than its start.
std::string pathText(const fs::path& p, float width) {
    std::string s = printableText(p.string());
    if (measureText(s, palette::kNormal) <= width) return s;
    while (s.size() > 1 && measureText("\u2026" + s, palette::kNormal) > width) {
        size_t cut = 1;
        while (cut < s.size() && (static_cast<unsigned char>(s[cut]) & 0xc0) == 0x80) ++cut;
        s.erase(0, cut);
    }
    return "\u2026" + s;
}

std::string inQuotes(std::string_view name) {
    return "\u201c" + printableText(name) + "\u201d";
}

}  // namespace

FolderListing readFolder(const fs::path& folder, std::string_view extension, bool foldersOnly) {
    FolderListing out;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code statusError;
        const fs::file_status status = it->status(statusError);  // through links
        if (statusError) continue;  // a link to nothing, or one of a circle of links
        const bool isFolder = fs::is_directory(status);
        if (!isFolder && (foldersOnly || !fs::is_regular_file(status))) continue;
        if (!isFolder && !hasExtension(name, extension)) continue;
        out.entries.push_back({std::move(name), isFolder});
    }
    if (ec) out.error = "This folder cannot be read: " + ec.message() + ".";
    std::sort(out.entries.begin(), out.entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) {
                  if (a.folder != b.folder) return a.folder;
                  const std::string la = lower(a.name), lb = lower(b.name);
                  return la != lb ? la < lb : a.name < b.name;
              });
    return out;
}

void FolderList::setListing(FolderListing listing) {
    listing_ = std::move(listing);
    selected_ = -1;
    const int32_t shown = parent() ? parent()->bounds().height : 0;
    setBounds({0, 0, bounds().width, std::max(rows(), shown)});
    repaint();
}

int32_t FolderList::rows() const {
    const auto n = static_cast<int32_t>(std::max<size_t>(listing_.entries.size(), 1));
    return n * palette::kRowHeight;
}

void FolderList::select(int index) {
    if (index < -1 || index >= static_cast<int>(listing_.entries.size())) return;
    if (index == selected_) return;
    selected_ = index;
    repaint();
    if (onSelect) onSelect(index);
}

Rect FolderList::rowBounds(int index) const {
    return {0, index * palette::kRowHeight, bounds().width, palette::kRowHeight};
}

void FolderList::paint(Graphics& g) {
    g.fillRect(localBounds(), palette::kTrack);
    if (!listing_.error.empty()) {
        const Rect r = rowBounds(0).reduced(0).translated(8, 0);
        g.text(listing_.error, r, palette::kNormal, palette::kModulation, Align::Left);
        return;
    }
    const Rect clip = g.clipBounds();
    for (size_t i = 0; i < listing_.entries.size(); ++i) {
        const Rect r = rowBounds(static_cast<int>(i));
        if (r.intersects(clip))
            paintRow(g, listing_.entries[i], r, static_cast<int>(i) == selected_);
    }
}

void FolderList::paintRow(Graphics& g, const FolderEntry& entry, const Rect& r, bool lit) {
    if (lit) g.fillRect(r, palette::kAccent.withAlpha(0.35f));
    const float x = r.x + 8.0f, y = r.y + r.height / 2.0f;
    if (entry.folder) {
        g.fillRoundedRect({r.x + 8, r.y + 6, 6, 3}, 1.0f, palette::kTextDim);
        g.fillRoundedRect({r.x + 8, r.y + 7, 14, 9}, 1.5f, palette::kTextDim);
    } else {
        const float page[] = {x + 2,  y - 6, x + 9, y - 6, x + 12, y - 3,
                              x + 12, y + 6, x + 2, y + 6, x + 2,  y - 6};
        g.polyline(page, 1.0f, palette::kTextDim);
    }
    const Rect text{r.x + 30, r.y, r.width - 36, r.height};
    g.text(elideText(printableText(entry.name), palette::kNormal, static_cast<float>(text.width)),
           text, palette::kNormal, palette::kText, Align::Left);
}

bool FolderList::mouseDown(const MouseEvent& e) {
    if (RootControl* r = root()) r->setFocus(this);
    const int row = e.position.y / palette::kRowHeight;
    select(row < static_cast<int>(listing_.entries.size()) ? row : -1);
    return true;
}

bool FolderList::mouseDoubleClick(const MouseEvent& e) {
    mouseDown(e);
    if (selected_ >= 0 && onOpen) onOpen(selected_);
    return true;
}

bool FolderList::keyDown(const KeyEvent& e) {
    const int last = static_cast<int>(listing_.entries.size()) - 1;
    if (last < 0) return false;
    switch (e.key) {
        case Key::Down:
            select(std::min(selected_ + 1, last));
            return true;
        case Key::Up:
            select(std::max(selected_ - 1, 0));
            return true;
        case Key::Home:
            select(0);
            return true;
        case Key::End:
            select(last);
            return true;
        default:
            return false;
    }
}

FileDialog::FileDialog(std::string title, std::string extension, bool foldersOnly, Chosen chosen,
                       Cancelled cancelled)
    : Dialog(std::move(title)),
      extension_(std::move(extension)),
      foldersOnly_(foldersOnly),
      chosen_(std::move(chosen)),
      cancelled_(std::move(cancelled)) {
    upButton_ = &body().add<Button>("Up", [this] { up(); });
    pathLabel_ = &body().add<Label>("", Label::Style{palette::kNormal, palette::kTextDim});
    scroll_ = &body().add<ScrollArea>();
    auto list = std::make_unique<FolderList>();
    list_ = list.get();
    scroll_->setContent(std::move(list));
    list_->onSelect = [this](int i) {
        if (i < 0) return;
        scroll_->makeVisible(list_->rowBounds(i));
        entrySelected(listing().entries[i]);
    };
    list_->onOpen = [this](int i) { entryOpened(listing().entries[i]); };
}

const FolderListing& FileDialog::listing() const {
    return list_->listing();
}

std::vector<std::string> FileDialog::names() const {
    std::vector<std::string> out;
    for (const FolderEntry& e : listing().entries) out.push_back(e.name);
    return out;
}

void FileDialog::resized() {
    layoutBody();
}

Component& FileDialog::addFooter(int32_t height) {
    footer_ = &body().add<Component>();
    footerHeight_ = height;
    layoutBody();
    return *footer_;
}

void FileDialog::layoutBody() {
    const int32_t rowH = Dialog::kButtonHeight;
    const int32_t footer = footer_ ? footerHeight_ + kRowGap : 0;
    const int32_t chrome = 2 * kWindowMargin + kTitleHeight + 3 * kInside + kButtonHeight;
    const int32_t room = bounds().height - chrome - rowH - kRowGap - footer;
    const int32_t listHeight = std::clamp(room, kMinListHeight, kListHeight);
    upButton_->setBounds({0, 0, kUpWidth, rowH});
    pathLabel_->setBounds({kUpWidth + 8, 0, kWidth - kUpWidth - 8, rowH});
    scroll_->setBounds({0, rowH + kRowGap, kWidth, listHeight});
    list_->setBounds({0, 0, list_->bounds().width, std::max(list_->rows(), listHeight)});
    if (footer_)
        footer_->setBounds({0, scroll_->bounds().bottom() + kRowGap, kWidth, footerHeight_});
    setBodySize(kWidth, rowH + kRowGap + listHeight + footer);
}

bool FileDialog::enter(const fs::path& folder) {
    std::error_code ec;
    const fs::path real = fs::canonical(folder, ec);
    if (ec || !fs::is_directory(real, ec)) {
        const std::string why = ec ? ec.message() : "it is not a folder";
        if (UserInterface* ui = root() ? root()->userInterface() : nullptr)
            ui->messageBox("The folder " + inQuotes(folder.filename().string()) +
                               " cannot be opened: " + why + ".",
                           box::kOk);
        if (!folder_.empty()) list_->setListing(readFolder(folder_, extension_, foldersOnly_));
        return false;
    }
    folder_ = real;
    list_->setListing(readFolder(folder_, extension_, foldersOnly_));
    scroll_->scrollTo(0);
    pathLabel_->setText(pathText(folder_, static_cast<float>(pathLabel_->bounds().width)));
    upButton_->setEnabled(folder_.has_parent_path() && folder_.parent_path() != folder_);
    return true;
}

void FileDialog::up() {
    if (folder_.has_parent_path() && folder_.parent_path() != folder_) enter(folder_.parent_path());
}

void FileDialog::entryOpened(const FolderEntry& entry) {
    if (entry.folder) enter(folder_ / entry.name);
}

void FileDialog::finish(const fs::path& path) {
    const Chosen chosen = std::move(chosen_);
    cancelled_ = nullptr;
    close();
    if (chosen) chosen(path);
}

void FileDialog::cancel() {
    const Cancelled cancelled = std::move(cancelled_);
    chosen_ = nullptr;
    close();
    if (cancelled) cancelled();
}

OpenSaveDialog& OpenSaveDialog::show(RootControl& root, Options options, Chosen chosen,
                                     Cancelled cancelled) {
    fs::path folder = options.folder.empty() ? fs::current_path() : options.folder;
    // A folder that has gone since it was remembered: its nearest existing parent.
    std::error_code ec;
    while (!fs::is_directory(folder, ec) && folder.has_parent_path() &&
           folder.parent_path() != folder)
        folder = folder.parent_path();
    auto dialog = std::make_unique<OpenSaveDialog>(std::move(options), std::move(chosen),
                                                   std::move(cancelled));
    OpenSaveDialog& d = Dialog::show(root, std::move(dialog));
    d.enter(folder);
    return d;
}

OpenSaveDialog::OpenSaveDialog(Options options, Chosen chosen, Cancelled cancelled)
    : FileDialog(
          options.title.empty() ? (options.mode == Mode::Save ? "Save" : "Open") : options.title,
          options.extension, false, std::move(chosen), std::move(cancelled)),
      mode_(options.mode) {
    addButton(mode_ == Mode::Save ? "Save" : "Open", [this] { accept(); });
    addButton("Cancel", [this] { cancel(); });
    setCancelButton(1);
    if (mode_ != Mode::Save) return;
    Component& footer = addFooter(Dialog::kButtonHeight);
    footer.add<Label>("File name").setBounds({0, 0, kNameLabelWidth, Dialog::kButtonHeight});
    name_ = &footer.add<TextEditor>(options.fileName);
    name_->setBounds({kNameLabelWidth, 0, kWidth - kNameLabelWidth, Dialog::kButtonHeight});
}

void OpenSaveDialog::opened() {
    if (!name_) return;
    name_->grabFocus();
    name_->selectAll();
}

void OpenSaveDialog::accept() {
    const int i = list().selected();
    if (mode_ == Mode::Save) {
        // Enter in the listing on a folder goes into it rather than saving.
        const bool inList = root() && root()->focus() == &list();
        if (!inList || i < 0 || !listing().entries[i].folder) return save(name_->text());
    }
    if (i >= 0) entryOpened(listing().entries[i]);
}

void OpenSaveDialog::entryOpened(const FolderEntry& entry) {
    if (entry.folder) return FileDialog::entryOpened(entry);
    if (mode_ == Mode::Save) return save(entry.name);
    finish(folder() / entry.name);
}

void OpenSaveDialog::entrySelected(const FolderEntry& entry) {
    if (name_ && !entry.folder) name_->setText(entry.name);
}

void OpenSaveDialog::save(std::string name) {
    name.erase(0, name.find_first_not_of(' '));
    name.erase(name.find_last_not_of(' ') + 1);
    UserInterface* ui = root() ? root()->userInterface() : nullptr;
    if (name.empty() || !ui) return;
    if (name.find('/') != std::string::npos || name == "." || name == "..") {
        ui->messageBox(
            "A file name cannot contain \u201c/\u201d or be \u201c.\u201d or "
            "\u201c..\u201d.",
            box::kOk);
        return;
    }
    std::error_code ec;
    if (fs::is_directory(folder() / name, ec)) {
        name_->setText({});
        enter(folder() / name);
        return;
    }
    if (!hasExtension(name, extension())) name += extension();
    const fs::path target = folder() / name;
    if (!fs::exists(fs::symlink_status(target, ec))) return finish(target);
    ui->messageBox(inQuotes(name) + " already exists. Do you want to replace it?",
                   box::kOk | box::kCancel, [this, target](int answer) {
                       if (answer == box::kAnsweredOk) finish(target);
                   });
}

}  // namespace gui
