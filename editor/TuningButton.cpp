#include "editor/TuningButton.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "dsp/TuningTable.h"
#include "engine/VornPlugin.h"
#include "gui/OpenSaveDialog.h"
#include "gui/UserInterface.h"

namespace {

// The scale a keyboard map applies to when no scale is loaded.
constexpr const char* kEqualScale =
    "12-tone equal temperament\n12\n100.\n200.\n300.\n400.\n500.\n600.\n700.\n800.\n900.\n"
    "1000.\n1100.\n2/1\n";

bool readText(const std::filesystem::path& path, std::string& text, std::string& error) {
    std::error_code failed;
    const std::uintmax_t size = std::filesystem::file_size(path, failed);
    if (failed) {
        error = "cannot be read: " + failed.message();
        return false;
    }
    if (size > TuningButton::kMaxFileBytes) {
        error = "is too large for a Scala file (over 1 MB)";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    if (!in) {
        error = "cannot be read";
        return false;
    }
    text = all.str();
    return true;
}

std::filesystem::path startFolder() {
    const char* home = std::getenv("HOME");
    return home && *home ? std::filesystem::path(home) : std::filesystem::current_path();
}

}  // namespace

TuningButton::TuningButton(VornPlugin& plugin, std::function<void()> changed)
    : gui::PopupButton(
          "", [this] { return buildMenu(); }, [this](int id) { choose(id); }),
      plugin_(plugin),
      changed_(std::move(changed)),
      folder_(startFolder()) {
    refresh();
}

std::string TuningButton::name() const {
    const TuningTable* table = plugin_.tuning().current();
    if (!table) return kEqualName;
    const bool known = ours(*table);
    std::string n = table->description();
    if (n.empty()) n = known ? scaleFile_ : "Scala tuning";
    if (!table->keymapText().empty()) n += " / " + (known ? keymapFile_ : "mapped");
    return n;
}

bool TuningButton::ours(const TuningTable& table) const {
    return table.scaleText() == scaleText_ && table.keymapText() == keymapText_;
}

gui::Menu TuningButton::buildMenu() const {
    gui::Menu menu;
    menu.add("Load Scale...", kLoadScale);
    menu.add("Load Keyboard Map...", kLoadKeymap);
    menu.addSeparator();
    menu.add("Equal Temperament", kEqualTemperament, plugin_.tuning().current() == nullptr);
    return menu;
}

void TuningButton::choose(int id) {
    switch (id) {
        case kLoadScale:
            browse(false);
            break;
        case kLoadKeymap:
            browse(true);
            break;
        case kEqualTemperament:
            plugin_.tuning().set(nullptr);
            refresh();
            if (changed_) changed_();
            break;
        default:
            break;
    }
}

void TuningButton::refresh() {
    const std::string n = name();
    if (n != caption()) setCaption(n);
}

void TuningButton::browse(bool keymap) {
    gui::RootControl* r = root();
    if (!r) return;
    gui::OpenSaveDialog::Options o{gui::OpenSaveDialog::Mode::Open, folder_,
                                   keymap ? ".kbm" : ".scl", "",
                                   keymap ? "Load Keyboard Map" : "Load Scale"};
    gui::OpenSaveDialog::show(*r, o, [this, keymap](const std::filesystem::path& p) {
        folder_ = p.parent_path();
        load(p, keymap);
    });
}

bool TuningButton::load(const std::filesystem::path& path, bool keymap) {
    const std::string file = path.filename().string();
    std::string text, error;
    if (!readText(path, text, error)) {
        report(file + " " + error + ".");
        return false;
    }
    const TuningTable* now = plugin_.tuning().current();
    const std::string scale = keymap ? (now ? now->scaleText() : kEqualScale) : text;
    const std::string map = keymap ? text : (now ? now->keymapText() : "");
    const bool known = now && ours(*now);
    const std::string scaleName = keymap ? (known ? scaleFile_ : "scale") : file;
    const std::string mapName = keymap ? file : (known ? keymapFile_ : "keyboard map");
    if (!plugin_.setTuning(scale, map, error, scaleName, mapName)) {
        report("The tuning was not changed.\n" + error);
        return false;
    }
    scaleText_ = scale;
    keymapText_ = map;
    scaleFile_ = scaleName;
    keymapFile_ = map.empty() ? "" : mapName;
    refresh();
    if (changed_) changed_();
    return true;
}

void TuningButton::report(const std::string& text) {
    gui::RootControl* r = root();
    if (gui::UserInterface* ui = r ? r->userInterface() : nullptr)
        ui->messageBox(text, gui::box::kOk);
}

void TuningButton::paint(gui::Graphics& g) {
    const gui::Rect b = localBounds();
    paintFace(g, "");
    g.text(caption(), {6, 0, b.width - 22, b.height}, style().font, style().text, gui::Align::Left);
    const float x = b.width - 10.0f, y = b.height / 2.0f;
    const float arrow[] = {x - 3.5f, y - 1.5f, x, y + 2.0f, x + 3.5f, y - 1.5f};
    g.polyline(arrow, 1.5f, gui::palette::kTextDim);
}
