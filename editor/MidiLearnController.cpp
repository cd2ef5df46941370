#include "editor/MidiLearnController.h"

#include <cstdio>

#include "editor/GenericPluginInterface.h"
#include "framework/AbstractPluginParameter.h"
#include "gui/Modifiers.h"
#include "midi/AbstractMusicEventReceiver.h"
#include "midi/MidiControllerMap.h"

MidiLearnController::MidiLearnController(GenericPluginInterface& editor, MidiControllerMap& map,
                                         AbstractMusicEventReceiver* receiver)
    : editor_(editor), map_(map), receiver_(receiver) {
    setModal(false);
    close_ = &add<gui::Button>("Close", [this] {
        if (onClose) onClose();
    });
    selectLearnTarget(-1, false);
}

MidiLearnController::~MidiLearnController() {
    if (receiver_) receiver_->setLearnParameter(MidiLearnSelection::kNoParameter);
}

gui::Menu MidiLearnController::menu(bool active) {
    gui::Menu m;
    m.add("Enable MIDI", kEnableMidi, active);
    m.addSeparator();
    m.add("Clear", kClear, false, active);
    m.add("Clear All", kClearAll);
    m.add("Revert", kRevert);
    m.add("Save", kSave);
    m.addSeparator();
    m.add("Load Factory Settings", kLoadFactory);
    return m;
}

void MidiLearnController::command(int item) {
    GenericPlugin& p = editor_.plugin();
    switch (item) {
        case kClear:
            selection_.clearSelected(map_);
            selectLearnTarget(-1, false);
            break;
        case kClearAll:
            map_.clear();
            break;
        case kRevert:
            p.loadMidiControllerMap();
            break;
        case kSave:
            p.saveMidiControllerMap();
            break;
        case kLoadFactory:
            p.resetMidiControllerMap();
            break;
        default:
            break;
    }
    repaint();
}

std::string MidiLearnController::nameOf(int32_t id) const {
    return editor_.parameterName(id);
}

void MidiLearnController::selectLearnTarget(int index, bool ghost) {
    int32_t id = MidiLearnSelection::kNoParameter;
    if (index >= 0 && ghost && index < static_cast<int>(ghosts_.size()))
        id = ghosts_[static_cast<size_t>(index)].parameterId;
    else if (index >= 0 && !ghost && index < static_cast<int>(editor_.learnableCount()))
        id = static_cast<int32_t>(editor_.learnableParameter(static_cast<size_t>(index)));
    else
        index = MidiLearnSelection::kNone;
    if (!selection_.selectLearnTarget(index, ghost, id, nameOf(id))) return;
    if (receiver_) receiver_->setLearnParameter(selection_.learnParameter());
    repaint();
}

int MidiLearnController::controllerOf(int32_t id) const {
    for (int c = 0; c < MidiControllerMap::kControllers; ++c)
        if (map_.parameterFor(c) == id) return c;
    return -1;
}

gui::Rect MidiLearnController::areaOf(const Ghost& g) const {
    const gui::Point origin = g.anchor->toRoot({0, 0});
    return g.area.translated(origin.x, origin.y).translated(-bounds().x, -bounds().y);
}

void MidiLearnController::resized() {
    close_->setBounds({localBounds().width - 70, 4, 62, 22});
}

void MidiLearnController::paint(gui::Graphics& g) {
    const gui::Rect b = localBounds();
    g.fillRect(b, gui::palette::kBackground.withAlpha(0.55f));
    g.fillRect({0, 0, b.width, kLabelHeight}, gui::palette::kPanelRaised);
    g.text(selection_.label(), {8, 0, b.width - 84, kLabelHeight}, gui::palette::kNormal,
           gui::palette::kText, gui::Align::Left);
    auto mark = [&](const gui::Rect& r, int32_t id, bool selected) {
        const gui::Colour c = selected ? gui::palette::kModulation : gui::palette::kAccent;
        g.strokeRoundedRect(r, 4, selected ? 2.0f : 1.0f, c);
        const int cc = controllerOf(id);
        if (cc < 0) return;
        char text[16];
        std::snprintf(text, sizeof text, "CC %d", cc);
        const gui::Rect tag{r.x + 2, r.y + 2, 36, 13};
        g.fillRoundedRect(tag, 2, c);
        g.text(text, tag, gui::palette::kSmall, gui::palette::kBackground);
    };
    for (size_t i = 0; i < editor_.learnableCount(); ++i) {
        const gui::Component* c = editor_.learnableControl(i);
        if (!c->showing()) continue;
        const gui::Rect r = c->rootBounds().translated(-bounds().x, -bounds().y);
        mark(r, static_cast<int32_t>(editor_.learnableParameter(i)),
             !selection_.isGhost() && selection_.index() == static_cast<int>(i));
    }
    for (size_t i = 0; i < ghosts_.size(); ++i) {
        if (!ghosts_[i].anchor->showing()) continue;
        const gui::Rect r = areaOf(ghosts_[i]);
        g.fillRoundedRect(r, 4, gui::palette::kPanelRaised);
        g.text(ghosts_[i].label, {r.x + 40, r.y, r.width - 42, r.height}, gui::palette::kSmall,
               gui::palette::kText, gui::Align::Left);
        mark(r, ghosts_[i].parameterId,
             selection_.isGhost() && selection_.index() == static_cast<int>(i));
    }
}

bool MidiLearnController::mouseDown(const gui::MouseEvent& e) {
    if (!(e.modifiers & gui::modifier::kLeftButton)) return true;
    const gui::Point p = e.position;
    for (size_t i = 0; i < ghosts_.size(); ++i) {
        if (ghosts_[i].anchor->showing() && areaOf(ghosts_[i]).contains(p)) {
            selectLearnTarget(static_cast<int>(i), true);
            return true;
        }
    }
    for (size_t i = 0; i < editor_.learnableCount(); ++i) {
        const gui::Component* c = editor_.learnableControl(i);
        if (c->showing() && c->rootBounds().translated(-bounds().x, -bounds().y).contains(p)) {
            selectLearnTarget(static_cast<int>(i), false);
            return true;
        }
    }
    selectLearnTarget(-1, false);
    return true;
}
