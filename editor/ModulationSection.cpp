#include "editor/ModulationSection.h"

#include <algorithm>
#include <string>

#include "editor/EditorColours.h"
#include "editor/ModulationMatrixPluginInterface.h"
#include "editor/SourceDragButton.h"
#include "editor/WatchControl.h"
#include "engine/ModulationNames.h"
#include "framework/AbstractPluginParameter.h"
#include "gui/Label.h"
#include "gui/Menu.h"
#include "gui/Modifiers.h"
#include "modulation/ModulationMatrixPlugin.h"
#include "persistence/ComponentPresetHandler.h"
#include "persistence/ComponentPresetTypes.h"

namespace {

struct SourceType {
    const char* count;  // the parameter with the number in use
    int first;          // the first source number
    int perItem;        // sources per item (the XY pads have two axes)
};
constexpr SourceType kSourceTypes[SourceSelectionBar::kTypes] = {
    {"Num Active XY Controllers", synth::kFirstXYSource, synth::kSourcesPerXY},
    {"Num Active XLFOs", synth::kFirstXLFOSource, 1},
    {"Num Active EGs", synth::kFirstEnvelopeSource, 1},
    {"Num Active EFs", synth::kFirstFollowerSource, 1},
    {"Num Active MIDI Sources", synth::kFirstMidiSource, 1}};

constexpr int kMargin = 4;

}  // namespace

const char* const SourceSelectionBar::kTypeNames[kTypes] = {
    "XY Controller", "XLFO", "Envelope Generator", "Envelope Follower", "MIDI Source"};

SourceSelectionBar::SourceSelectionBar(ModulationMatrixPluginInterface& editor) : editor_(editor) {
    for (int t = 0; t < kTypes; ++t) {
        // A change of a count shows or hides handles.
        counts_[static_cast<size_t>(t)] = &add<WatchControl>([this] {
            if (auto* section = dynamic_cast<ModulationSection*>(parent())) section->refresh();
        });
        editor.bind(*counts_[static_cast<size_t>(t)], kSourceTypes[t].count);
        const int id = editor.parameterId(kSourceTypes[t].count);
        minimums_[static_cast<size_t>(t)] =
            static_cast<int>(editor.plugin().getParameter(id)->getMinimum());
    }
    for (int s = 0; s < synth::kSourceCount; ++s) {
        handles_[static_cast<size_t>(s)] = &add<SourceDragButton>(editor, s);
        handles_[static_cast<size_t>(s)]->setVisible(false);
    }
}

int SourceSelectionBar::nextInstance(int type) const {
    const gui::ValueControl& count = *counts_[static_cast<size_t>(type)];
    if (count.value() >= count.maximum()) return -1;
    return count.value() + minimums_[static_cast<size_t>(type)];
}

void SourceSelectionBar::addSource(int type) {
    gui::ValueControl& count = *counts_[static_cast<size_t>(type)];
    if (count.value() >= count.maximum()) return;
    count.editTo(count.value() + 1);
}

int SourceSelectionBar::refresh() {
    int y = 0;
    for (int t = 0; t < kTypes; ++t) {
        const SourceType& type = kSourceTypes[t];
        // An indexed count's steps start at its minimum (one envelope is always there).
        const int active =
            (counts_[static_cast<size_t>(t)]->value() + minimums_[static_cast<size_t>(t)]) *
            type.perItem;
        const int end = t + 1 < kTypes ? kSourceTypes[t + 1].first : synth::kSourceCount;
        for (int s = type.first; s < end; ++s) {
            SourceDragButton& h = *handles_[static_cast<size_t>(s)];
            h.setVisible(s - type.first < active);
            if (!h.visible()) continue;
            h.setBounds({0, y, bounds().width, kRowHeight - 2});
            y += kRowHeight;
        }
    }
    repaint();
    return y;
}

int SourceSelectionBar::visibleSources() const {
    int n = 0;
    for (const SourceDragButton* h : handles_) n += h->visible() ? 1 : 0;
    return n;
}

void SourceSelectionBar::paint(gui::Graphics&) {}

SlotInterface::SlotInterface(ModulationMatrixPluginInterface& editor, int slot)
    : editor_(editor), slot_(slot) {
    gui::Knob::Style style;
    style.value = gui::palette::kModulation;
    style.bipolar = false;
    style.captionHeight = 0;
    level_ = &add<gui::Knob>(style);
    editor.bind(*level_, "Slot " + std::to_string(slot + 1) + " Level");
}

void SlotInterface::resized() {
    level_->setBounds({bounds().width - 30, 3, 28, 28});
}

bool SlotInterface::mouseDown(const gui::MouseEvent& e) {
    if (!(e.modifiers & gui::modifier::kLeftButton)) return false;
    editor_.modulation().selectSlot(slot_);
    return true;
}

void SlotInterface::paint(gui::Graphics& g) {
    const gui::Rect b = localBounds();
    g.fillRoundedRect(b.reduced(1), gui::palette::kRadius, gui::palette::kPanelRaised);
    if (editor_.modulation().highlighted(slot_))
        g.fillRoundedRect(b.reduced(1), gui::palette::kRadius,
                          gui::palette::kModulation.withAlpha(0.25f));
    if (editor_.modulation().selectedSlot() == slot_)
        g.strokeRoundedRect(b.reduced(1), gui::palette::kRadius, 1.0f, gui::palette::kModulation);
    const SourceSlotController& slots = editor_.slots();
    const int source = slots.source(slot_), target = slots.target(slot_);
    const std::string from =
        source < 0 ? "(not used)" : modulationSourceNames()[static_cast<size_t>(source)];
    const std::string to =
        target < 0 ? "Unassigned" : modulationTargetNames()[static_cast<size_t>(target)];
    const int w = b.width - 34;
    g.text(from, {5, 2, w, 15}, gui::palette::kSmall, gui::palette::kModulation, gui::Align::Left);
    g.text(to, {5, 17, w, 15}, gui::palette::kSmall,
           target < 0 ? gui::palette::kTextDisabled : gui::palette::kText, gui::Align::Left);
}

ModulationSection::ModulationSection(ModulationMatrixPluginInterface& editor) : editor_(editor) {
    add_ = &add<gui::PopupButton>(
        "Add Source", [this] { return addSourceMenu(); }, [this](int id) { chooseAddSource(id); });
    sources_ = &add<SourceSelectionBar>(editor);
    sort_ = &add<gui::Button>("Sort Slots", [&editor] { editor.slots().sort(); });
    gui::Button::Style small = sort_->style();
    small.font = gui::palette::kSmall;
    sort_->setStyle(small);
    slotArea_ = &add<gui::ScrollArea>();
    auto list = std::make_unique<gui::Component>();
    slotList_ = list.get();
    slotArea_->setContent(std::move(list));
    for (int i = 0; i < synth::kSlots; ++i)
        slots_.push_back(&slotList_->add<SlotInterface>(editor, i));
    gui::Label::Style hint;
    hint.font = gui::palette::kSmall;
    hint.colour = gui::palette::kTextDisabled;
    hint_ = &add<gui::Text>("", hint);
}

ModulationSection::~ModulationSection() = default;

gui::Menu ModulationSection::addSourceMenu() {
    // The component preset type of each source type; the XY pads have none.
    constexpr int kPresetTypes[SourceSelectionBar::kTypes] = {
        -1, ComponentPresets::kXLFO, ComponentPresets::kEG, ComponentPresets::kEF,
        ComponentPresets::kMidi};
    actions_.clear();
    handlers_.clear();
    gui::Menu menu;
    for (int t = 0; t < SourceSelectionBar::kTypes; ++t) {
        const std::string text = std::string("New ") + SourceSelectionBar::kTypeNames[t];
        const int next = sources_->nextInstance(t);
        if (next < 0 || kPresetTypes[t] < 0) {
            actions_.push_back([this, t] { sources_->addSource(t); });
            menu.add(text, static_cast<int>(actions_.size() - 1), false, next >= 0);
            continue;
        }
        auto& handler = *handlers_.emplace_back(std::make_unique<ComponentPresetHandler>(
            editor_.componentPresets(), kPresetTypes[t], next, [this](const std::string& m) {
                if (gui::UserInterface* ui = editor_.userInterface())
                    ui->messageBox(m, gui::box::kOk);
            }));
        gui::Menu& sub = menu.addSubmenu(text);
        actions_.push_back([this, t, &handler] {
            editor_.beginActionGroup();
            sources_->addSource(t);
            handler.loadDefault();
            editor_.endActionGroup();
            editor_.presetChanged();
        });
        sub.add(ComponentPresets::kDefaultName, static_cast<int>(actions_.size() - 1));
        sub.addSeparator();
        addPresetItems(sub, t, handler, handler.menu());
    }
    return menu;
}

void ModulationSection::addPresetItems(gui::Menu& menu, int type, ComponentPresetHandler& h,
                                       const std::vector<PresetMenuItem>& items) {
    for (const PresetMenuItem& item : items) {
        if (item.kind == PresetMenuItem::Kind::Submenu) {
            addPresetItems(menu.addSubmenu(item.text), type, h, item.items);
        } else if (item.kind == PresetMenuItem::Kind::Preset) {
            const PresetEntry entry = item.entry;
            actions_.push_back([this, type, &h, entry] {
                editor_.beginActionGroup();
                sources_->addSource(type);
                h.presetSelected(entry);
                editor_.endActionGroup();
                editor_.presetChanged();
            });
            menu.add(item.text, static_cast<int>(actions_.size() - 1));
        } else if (item.kind == PresetMenuItem::Kind::Empty) {
            menu.add(item.text, -1, false, false);
        }
    }
}

void ModulationSection::chooseAddSource(int id) {
    if (id < 0 || id >= static_cast<int>(actions_.size())) return;
    const std::function<void()> action = actions_[static_cast<size_t>(id)];
    action();
}

void ModulationSection::selectSlot(int slot) {
    selected_ = slot;
    repaint();
}

void ModulationSection::highlight(std::vector<int> slots) {
    highlighted_ = std::move(slots);
    for (int s = 0; s < synth::kSourceCount; ++s) sources_->handle(s).setMarked(false);
    for (int slot : highlighted_) {
        const int source = editor_.slots().source(slot);
        if (source >= 0) sources_->handle(source).setMarked(true);
    }
    if (!highlighted_.empty())
        slotArea_->makeVisible(slots_[static_cast<size_t>(highlighted_.front())]->bounds());
    repaint();
}

bool ModulationSection::highlighted(int slot) const {
    return std::find(highlighted_.begin(), highlighted_.end(), slot) != highlighted_.end();
}

void ModulationSection::resized() {
    const int w = bounds().width - 2 * kMargin;
    add_->setBounds({kMargin, kMargin, w, 22});
    refresh();
}

void ModulationSection::refresh() {
    const int w = bounds().width - 2 * kMargin;
    const int top = kMargin + 22 + kMargin;
    const int sourcesHeight = sources_->refresh();
    sources_->setBounds({kMargin, top, w, sourcesHeight});
    const int active = editor_.slots().activeSlots();
    for (int i = 0; i < synth::kSlots; ++i) {
        slots_[static_cast<size_t>(i)]->setVisible(i < active);
        slots_[static_cast<size_t>(i)]->setBounds({0, i * SlotInterface::kHeight,
                                                   w - gui::ScrollArea::kBarWidth,
                                                   SlotInterface::kHeight});
    }
    slotList_->setBounds({0, 0, w, active * SlotInterface::kHeight});
    const int slotsTop = top + sourcesHeight + kMargin + 16;
    sort_->setBounds({kMargin + w - 56, slotsTop - 17, 56, 15});
    sort_->setVisible(active > 1);
    slotArea_->setBounds({kMargin, slotsTop, w, bounds().height - slotsTop - kMargin});
    // With nothing to show, the two hints say how to begin.
    const bool noSources = sources_->visibleSources() == 0;
    const char* hint = noSources ? SourceSelectionBar::kAddHint : active == 0 ? kDragHint : "";
    hint_->setText(hint);
    hint_->setBounds({kMargin, noSources ? top : slotsTop, w, 80});
    repaint();
}

void ModulationSection::paint(gui::Graphics& g) {
    const gui::Rect b = localBounds();
    g.fillRect(b, gui::palette::kPanel);
    g.line(0.5f, 0, 0.5f, static_cast<float>(b.height), 1.0f, gui::palette::kBackground);
    const gui::Rect s = sources_->bounds();
    g.text("SLOTS", {kMargin, s.bottom() + kMargin, 60, 14}, gui::palette::kSmall,
           gui::palette::kTextDisabled, gui::Align::Left);
}
