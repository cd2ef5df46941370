#include "editor/VornInterface.h"

#include "editor/ComponentButtons.h"
#include "editor/ComponentPresetButton.h"
#include "editor/DepthRings.h"
#include "editor/EnvelopeSection.h"
#include "editor/ModulationSection.h"
#include "editor/Sections.h"
#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "engine/VornSettings.h"
#include "framework/MidiVirtualPluginParameter.h"
#include "persistence/ComponentPresetTypes.h"

namespace {

VornPlugin::VornSettings& settingsOf(VornPlugin& p) {
    return static_cast<VornPlugin::VornSettings&>(p.settings());
}

}  // namespace

VornInterface::VornInterface(VornPlugin& plugin, HostEdits* host)
    : ModulationMatrixPluginInterface(plugin, host), vorn_(plugin) {
    sections_ = makeSections(*this);
    const char* icons[kSectionCount] = {"IconOscillators", "IconFilters", "IconEnvelopes",
                                        "IconXlfos",       "IconDelay",   "IconFollowers",
                                        "IconMidiSources", "IconXyPads",  "IconMaster"};
    for (size_t i = 0; i < sections_.size() && i < kSectionCount; ++i)
        sections_[i]->setIcon(icons[i]);
    presetBar_ = &add<PresetBar>(*this, plugin.presets());
    addComponentButtons();
    componentDisplaysChanged();
    watchEnvelopes();
    tall_ = &bottomBar().addItem<gui::ToggleButton>(44, true, "Tall");
    tall_->setValue(layout() == 1);
    tall_->onClick = [this] { setLayout(tall_->on() ? 1 : 0); };
    showModulation_ = &bottomBar().addItem<gui::ToggleButton>(44, true, "Mod");
    showModulation_->setValue(showingModulation());
    showModulation_->onClick = [this] { setShowModulation(showModulation_->on()); };
    modulation().setVisible(showingModulation());
    for (size_t i = 0; i < sections_.size(); ++i)
        sections_[i]->onTitleClicked = [this, i] {
            const int index = static_cast<int>(i);
            expand(expandedSection() == index ? -1 : index);
        };
    setBounds({0, 0, plugin.editorWidth(), plugin.editorHeight()});
    addLinkGhosts();
    addPresetButtons();
    layoutSections();
}

VornInterface::~VornInterface() = default;

ComponentPresetOwner& VornInterface::componentPresets() {
    return vorn_.presets();
}

int VornInterface::expandedSection() const {
    const int s = settingsOf(vorn_).expandedSection;
    return s >= 0 && s < kSectionCount ? s : -1;
}

void VornInterface::expand(int section) {
    settingsOf(vorn_).expandedSection = section >= 0 && section < kSectionCount ? section : -1;
    layoutSections();
}

int VornInterface::layout() const {
    return settingsOf(vorn_).interfaceLayout;
}

bool VornInterface::setLayout(int l) {
    settingsOf(vorn_).interfaceLayout = l;
    if (tall_) tall_->setValue(layout() == 1);
    return applySize();
}

bool VornInterface::showingModulation() const {
    return settingsOf(vorn_).showModulation;
}

gui::Menu VornInterface::learnMenu() {
    gui::Menu m = QuorvalisPluginInterface::learnMenu();
    m.addSeparator();
    m.add("Sustain Pedal (Controller 64)", kSustainPedalItem, settingsOf(vorn_).sustainPedal);
    m.add("MPE (Channel 1, Members 2-16)", kMpeItem, vorn_.mpeZones().active());
    return m;
}

void VornInterface::learnMenuChosen(int item) {
    if (item == kMpeItem) {
        vorn_.setMpeMembers(vorn_.mpeZones().active() ? 0 : MpeZones::kMaxMembers);
    } else if (item == kSustainPedalItem) {
        auto& on = settingsOf(vorn_).sustainPedal;
        on = !on;
    } else {
        QuorvalisPluginInterface::learnMenuChosen(item);
        return;
    }
    plugin().writeSettings();
}

bool VornInterface::setShowModulation(bool show) {
    settingsOf(vorn_).showModulation = show;
    showModulation_->setValue(show);
    modulation().setVisible(show);
    return applySize();
}

bool VornInterface::applySize() {
    gui::UserInterface* ui = userInterface();
    if (ui && !ui->requestSize(vorn_.editorWidth(), vorn_.editorHeight())) {
        ui->messageBox(kCannotResize, gui::box::kOk);
        return false;
    }
    setBounds({0, 0, vorn_.editorWidth(), vorn_.editorHeight()});
    return true;
}

void VornInterface::addLinkGhosts() {
    // The links have no control of their own: MIDI learn offers them in the section titles.
    struct Link {
        int section;
        const char* name;
        const char* label;
        int slot;
    } links[] = {{kFilters, "Filter Link Freq", "Link Cut-off", 0},
                 {kFilters, "Filter Link Peak", "Link Peak", 1},
                 {kDelay, "Delay Filter Link Freq", "Link Cut-off", 0},
                 {kDelay, "Delay Filter Link Peak", "Link Peak", 1}};
    const int width = 112, right = bounds().width - 4;
    for (const Link& l : links) {
        for (MidiVirtualPluginParameter* v : vorn_.virtualParameters()) {
            if (v->name() != l.name) continue;
            const gui::Rect area{right - (2 - l.slot) * (width + 4), 2, width,
                                 EditorSection::kHeaderHeight - 4};
            addLearnGhost({&section(l.section), area, static_cast<int32_t>(v->id()), l.label});
        }
    }
}

void VornInterface::addPresetButtons() {
    namespace cp = ComponentPresets;
    struct Kind {
        int section;
        int type;
        const char* name;
    } kinds[] = {{kOscillators, cp::kOscillator, "Oscillators"},
                 {kFilters, cp::kFilters, "Filters"},
                 {kEnvelopes, cp::kEG, "EG"},
                 {kXlfos, cp::kXLFO, "XLFO"},
                 {kDelay, cp::kDelays, "Delay"},
                 {kFollowers, cp::kEF, "EF"},
                 {kMidiSources, cp::kMidi, "MIDI Source"}};
    for (const Kind& k : kinds) {
        std::vector<std::string> names;
        const int count = vorn_.presets().componentInstanceCount(k.type);
        for (int i = 0; i < count; ++i)
            names.push_back(count == 1 ? k.name
                                       : (k.type == cp::kEG && i == 0
                                              ? std::string("EG Main")
                                              : k.name + (" " + std::to_string(i + 1))));
        if (names.empty()) continue;
        section(k.section).setTitleAccessory(
            std::make_unique<ComponentPresetButton>(*this, vorn_.presets(), k.type, names),
            ComponentPresetButton::kWidth);
    }
}

// The envelopes' pictures show when a slot modulates their envelope, as the buttons do.
void VornInterface::watchEnvelopes() {
    auto& envelopes = static_cast<EnvelopeSection&>(section(kEnvelopes));
    for (int k = 0; k < EnvelopeSection::kCount; ++k) {
        const int first = synth::kFirstEnvelopeTarget + k * synth::kTargetsPerEnvelope;
        EnvelopeDisplay& d = envelopes.display(k);
        d.modulated = [this, first] {
            return indicators()->modulated(first, synth::kTargetsPerEnvelope);
        };
        d.onIndicatorClicked = [this, first] { showModulators(first, synth::kTargetsPerEnvelope); };
    }
}

void VornInterface::addComponentButtons() {
    for (int i = 0; i < synth::kOscillators; ++i)
        buttons_.push_back(&add<OscillatorButton>(*this, i));
    for (int i = 0; i < synth::kFilters; ++i)
        buttons_.push_back(&add<FilterButton>(*this, i, false));
    for (int i = 0; i < synth::kDelays; ++i) buttons_.push_back(&add<DelayButton>(*this, i));
    for (int i = 0; i < synth::kFilters; ++i)
        buttons_.push_back(&add<FilterButton>(*this, i, true));
}

// Two rows: the five voice components, then the four of the delay.
void VornInterface::layoutComponentButtons(const gui::Rect& area) {
    constexpr int kGap = 3;
    const int rows[2][2] = {{0, 5}, {5, 4}};
    for (int r = 0; r < 2; ++r) {
        const int count = rows[r][1];
        const int width = (area.width - (count + 1) * kGap) / count;
        for (int k = 0; k < count; ++k) {
            buttons_[static_cast<size_t>(rows[r][0] + k)]->setBounds(
                {area.x + kGap + k * (width + kGap),
                 area.y + kGap + r * (kComponentRowHeight + kGap), width, kComponentRowHeight});
        }
    }
}

void VornInterface::componentDisplaysChanged() {
    for (VornComponentButton* b : buttons_) b->showPicture(componentDisplaysShown());
}

void VornInterface::slotsChanged() {
    ModulationMatrixPluginInterface::slotsChanged();
    for (VornComponentButton* b : buttons_) b->repaint();
    section(kEnvelopes).repaint();
}

void VornInterface::idle() {
    ModulationMatrixPluginInterface::idle();
    presetBar_->refresh();
    for (EditorSection* s : sections_) s->idle();
}

void VornInterface::presetChanged() {
    ModulationMatrixPluginInterface::presetChanged();
    presetBar_->refresh();
}

void VornInterface::resized() {
    ModulationMatrixPluginInterface::resized();
    if (presetBar_) presetBar_->setBounds(presetBarArea());
    layoutSections();
}

void VornInterface::layoutSections() {
    const gui::Rect all = contentArea();
    // The sound sections keep the narrow width; the modulation column takes the rest.
    const gui::Rect content{all.x, all.y, std::min(all.width, VornPlugin::kNarrowEditorWidth),
                            all.height};
    modulation().setBounds({content.right(), all.y, all.width - content.width, all.height});
    constexpr int kStrip = 2 * kComponentRowHeight + 3 * 3;
    if (!buttons_.empty()) layoutComponentButtons({content.x, content.y, content.width, kStrip});
    const gui::Rect area{content.x, content.y + kStrip, content.width, content.height - kStrip};
    const int open = expandedSection();
    const auto collapsed =
        layout() == 1 ? EditorSection::Mode::Compact : EditorSection::Mode::Header;
    int y = area.y;
    for (size_t i = 0; i < sections_.size(); ++i) {
        EditorSection& s = *sections_[i];
        const auto mode = static_cast<int>(i) == open ? EditorSection::Mode::Full : collapsed;
        s.setMode(mode);
        const int h = s.heightFor(mode);
        s.setBounds({0, y, area.width, h});
        y += h;
    }
    repaint();
}

MidiControllerMap* VornInterface::controllerMap() {
    return &VornPlugin::controllerMap();
}

AbstractMusicEventReceiver* VornInterface::learnReceiver() {
    return vorn_.eventReceiver();
}
