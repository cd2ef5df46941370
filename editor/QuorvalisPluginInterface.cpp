#include "editor/QuorvalisPluginInterface.h"

#include <filesystem>

#include "editor/Artwork.h"
#include "framework/CompareStates.h"
#include "framework/PluginSettings.h"
#include "framework/UndoHistory.h"

namespace {

// The wordmark in the middle of the bottom bar.
class LogoMark : public gui::Component {
public:
    void paint(gui::Graphics& g) override {
        if (cairo_surface_t* logo = artwork("Logo"))
            g.mask(logo, localBounds(), gui::palette::kTextDim);
    }
};

}  // namespace

QuorvalisPluginInterface::QuorvalisPluginInterface(GenericPlugin& plugin, HostEdits* host)
    : GenericPluginInterface(plugin, host) {
    presetBar_ = &add<gui::ControlBar>();
    bottomBar_ = &add<gui::ControlBar>();
    learnButton_ = &bottomBar_->addItem<gui::ToggleButton>(80, false, "MIDI Learn");
    learnButton_->onClick = [this] { setLearning(learnButton_->on()); };
    bottomBar_->addItem<gui::PopupButton>(
        22, false, "", [this] { return learnMenu(); }, [this](int id) { learnMenuChosen(id); });
    undo_ = &bottomBar_->addItem<gui::Button>(30, false, "\u21B6", [this] { undo(); });
    undo_->setHint("Undo");
    redo_ = &bottomBar_->addItem<gui::Button>(30, false, "\u21B7", [this] { redo(); });
    redo_->setHint("Redo");
    bottomBar_->addItem<gui::PopupButton>(
        52, true, "Help", [this] { return helpMenu(); }, [this](int id) { helpChosen(id); });
    copy_ = &bottomBar_->addItem<gui::Button>(46, true, "Copy", [this] { copyToOtherSlot(); });
    copy_->setHint("Copies the sound you hear to the other compare slot");
    b_ = &bottomBar_->addItem<gui::ToggleButton>(30, true, "B");
    a_ = &bottomBar_->addItem<gui::ToggleButton>(30, true, "A");
    a_->onClick = b_->onClick = [this] { toggleCompare(); };
    logo_ = &add<LogoMark>();
    updateBars();
}

gui::Rect QuorvalisPluginInterface::contentArea() const {
    const gui::Rect b = localBounds();
    return {0, kBarHeight, b.width, b.height - 2 * kBarHeight};
}

gui::Rect QuorvalisPluginInterface::presetBarArea() const {
    const int pad = gui::palette::kPadding;
    return {pad, 0, bounds().width - 3 * pad - kLogoWidth, kBarHeight};
}

void QuorvalisPluginInterface::resized() {
    const gui::Rect b = localBounds();
    presetBar_->setBounds({0, 0, b.width, kBarHeight});
    bottomBar_->setBounds({0, b.height - kBarHeight, b.width, kBarHeight});
    // 184 x 56 drawn at a quarter.
    logo_->setBounds({b.width - gui::palette::kPadding - kLogoWidth, 8, kLogoWidth, 14});
}

void QuorvalisPluginInterface::updateBars() {
    undo_->setEnabled(plugin().undoHistory().canUndo());
    redo_->setEnabled(plugin().undoHistory().canRedo());
    const int slot = plugin().compareStates().slot();
    a_->setValue(slot == 0);
    b_->setValue(slot == 1);
}

void QuorvalisPluginInterface::idle() {
    GenericPluginInterface::idle();
    updateBars();
}

gui::Menu QuorvalisPluginInterface::helpMenu() const {
    GenericPlugin::SharedSettings* shared = GenericPlugin::sharedSettings();
    gui::Menu m;
    m.add("Help Topics", kHelpTopics);
    m.add("Show Interactive Help Hints", kInteractiveHelp, shared && shared->showInteractiveHelp);
    m.add("Show Component Displays", kComponentDisplays, shared && shared->showComponentDisplays);
    m.addSeparator();
    m.add("Quorvalis Web Site", kWebSite);
    m.add("Quorvalis Support", kSupport);
    m.addSeparator();
    m.add("About", kAbout);
    return m;
}

bool QuorvalisPluginInterface::componentDisplaysShown() {
    const GenericPlugin::SharedSettings* shared = GenericPlugin::sharedSettings();
    return !shared || shared->showComponentDisplays;
}

void QuorvalisPluginInterface::helpChosen(int item) {
    gui::UserInterface* ui = userInterface();
    GenericPlugin::SharedSettings* shared = GenericPlugin::sharedSettings();
    switch (item) {
        case kHelpTopics:
            if (ui) {
                std::error_code ec;
                const bool local = !helpFile_.empty() && std::filesystem::exists(helpFile_, ec);
                ui->openUrl(local ? "file://" + helpFile_ : std::string(kWebSiteUrl) + "manual");
            }
            break;
        case kInteractiveHelp:
        case kComponentDisplays:
            if (shared) {
                auto& flag = item == kInteractiveHelp ? shared->showInteractiveHelp
                                                      : shared->showComponentDisplays;
                flag = !flag.get();
                plugin().writeSettings();
                if (item == kComponentDisplays) componentDisplaysChanged();
                repaint();
            }
            break;
        case kWebSite:
            if (ui) ui->openUrl(kWebSiteUrl);
            break;
        case kSupport:
            if (ui) ui->openUrl(kSupportUrl);
            break;
        case kAbout:
            if (ui) ui->messageBox(aboutText(), gui::box::kOk);
            break;
    }
}

std::string QuorvalisPluginInterface::aboutText() const {
    return "Vorn " + std::to_string(VORN_VERSION_MAJOR) + "." + std::to_string(VORN_VERSION_MINOR) +
           "." + std::to_string(VORN_VERSION_PATCH) +
           "\n\nA polyphonic subtractive synthesizer for Linux.";
}

void QuorvalisPluginInterface::setLearning(bool on) {
    if (on == learning()) return;
    if (on) {
        MidiControllerMap* map = controllerMap();
        if (!map) return;
        auto overlay = std::make_unique<MidiLearnController>(*this, *map, learnReceiver());
        for (const auto& g : ghosts_) overlay->addGhost(g);
        // Over the preset bar too, where its line of instructions goes.
        overlay->setBounds({0, 0, bounds().width, contentArea().bottom()});
        overlay->onClose = [this] { setLearning(false); };
        learn_ = overlay.get();
        pushOverlay(std::move(overlay));
    } else {
        MidiLearnController* gone = learn_;
        learn_ = nullptr;
        gone->close();
    }
    learnButton_->setValue(on);
}

void QuorvalisPluginInterface::learnMenuChosen(int item) {
    if (item == MidiLearnController::kEnableMidi) {
        setLearning(!learning());
        return;
    }
    if (learn_) {
        learn_->command(item);
        return;
    }
    // Without the overlay the map commands still apply.
    if (MidiControllerMap* map = controllerMap()) {
        MidiLearnController scratch(*this, *map, nullptr);
        scratch.command(item);
    }
}
