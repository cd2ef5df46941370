#include "editor/GenericPluginInterface.h"

#include <cmath>
#include <stdexcept>

#include "framework/AbstractPluginParameter.h"
#include "framework/CompareStates.h"
#include "framework/MidiVirtualPluginParameter.h"
#include "framework/UndoHistory.h"
#include "gui/Modifiers.h"
#include "gui/Palette.h"
#include "gui/PopupMenu.h"
#include "gui/TextEditor.h"

GenericPluginInterface::GenericPluginInterface(GenericPlugin& plugin, HostEdits* host)
    : plugin_(plugin), host_(host) {
    // Opening the editor starts the history and makes A and B equal, once per instance.
    plugin_.undoHistory().recordInitial();
    plugin_.compareStates().initialize();
    plugin_.setEditorListener(this);
}

GenericPluginInterface::~GenericPluginInterface() {
    plugin_.setEditorListener(nullptr);
}

void GenericPluginInterface::notify(int code, int) {
    if (code == GenericPlugin::kNotifyPresetChanged) presetChanged();
}

int32_t GenericPluginInterface::stepsOf(const AbstractPluginParameter& p) {
    if (p.kind() == AbstractPluginParameter::kIndexed)
        return std::max(1, static_cast<int32_t>(std::lround(p.getMaximum() - p.getMinimum())));
    return kContinuousSteps;
}

int32_t GenericPluginInterface::toSteps(const AbstractPluginParameter& p, float plain) {
    if (p.kind() == AbstractPluginParameter::kIndexed)
        return static_cast<int32_t>(std::lround(plain - p.getMinimum()));
    return static_cast<int32_t>(std::lround(p.plainToNormalized(plain) * kContinuousSteps));
}

float GenericPluginInterface::toPlain(const AbstractPluginParameter& p, int32_t steps) {
    if (p.kind() == AbstractPluginParameter::kIndexed) return p.getMinimum() + steps;
    return p.normalizedToPlain(static_cast<float>(steps) / kContinuousSteps);
}

int GenericPluginInterface::parameterId(const std::string& name) {
    for (int i = 0; i < plugin_.getParameterCount(); ++i)
        if (AbstractPluginParameter* p = plugin_.getParameter(i); p && p->name() == name) return i;
    return -1;
}

void GenericPluginInterface::bind(gui::ValueControl& control, const std::string& name) {
    const int id = parameterId(name);
    if (id < 0) throw std::logic_error("no parameter named \"" + name + "\"");
    bind(control, id);
}

void GenericPluginInterface::bind(gui::ValueControl& control, int id) {
    AbstractPluginParameter* p = plugin_.getParameter(id);
    if (!p) throw std::logic_error("no parameter " + std::to_string(id));
    control.setMaximum(stepsOf(*p));
    control.setDefault(toSteps(*p, p->getDefault()));
    control.setValue(toSteps(*p, p->getValue()));
    control.setFormatter([p](int32_t steps) { return p->formatValue(toPlain(*p, steps)); });
    if (control.hint().empty()) control.setHint(p->helpText());
    control.addListener(this);
    bindings_.push_back({&control, p, p->getValue()});
}

std::vector<std::string> GenericPluginInterface::valueTexts(int id) {
    std::vector<std::string> texts;
    AbstractPluginParameter* p = plugin_.getParameter(id);
    if (!p) return texts;
    for (int32_t s = 0; s <= stepsOf(*p) && p->kind() == AbstractPluginParameter::kIndexed; ++s)
        texts.push_back(p->formatValue(toPlain(*p, s)));
    return texts;
}

uint32_t GenericPluginInterface::learnableParameter(size_t i) const {
    return bindings_[i].parameter->id();
}

std::string GenericPluginInterface::parameterName(int32_t id) {
    // MIDI-learn-only parameters (links of two parameters) have ids of their own.
    if (MidiVirtualPluginParameter* v = plugin_.virtualParameter(static_cast<uint32_t>(id)))
        return v->name();
    AbstractPluginParameter* p = id >= 0 ? plugin_.getParameter(id) : nullptr;
    return p ? p->name() : std::string();
}

int GenericPluginInterface::boundParameter(const gui::ValueControl& control) const {
    for (const Binding& b : bindings_)
        if (b.control == &control) return static_cast<int>(b.parameter->id());
    return -1;
}

GenericPluginInterface::Binding* GenericPluginInterface::find(const gui::ValueControl& c) {
    for (Binding& b : bindings_)
        if (b.control == &c) return &b;
    return nullptr;
}

void GenericPluginInterface::editBegan(gui::ValueControl& c) {
    if (Binding* b = find(c); b && host_) host_->beginEdit(static_cast<int>(b->parameter->id()));
}

void GenericPluginInterface::valueChanged(gui::ValueControl& c) {
    Binding* b = find(c);
    if (!b) return;
    // The default step stands for the exact default, which steps may not hit.
    const float plain = c.value() == c.defaultValue() ? b->parameter->getDefault()
                                                      : toPlain(*b->parameter, c.value());
    b->parameter->setValue(plain, 0);
    b->shownPlain = b->parameter->getValue();
    if (host_) host_->valueEdited(static_cast<int>(b->parameter->id()), b->shownPlain);
    // Controls sharing the parameter follow at once.
    for (Binding& other : bindings_) {
        if (&other != b && other.parameter == b->parameter) {
            other.control->setValue(c.value());
            other.shownPlain = b->shownPlain;
        }
    }
}

void GenericPluginInterface::editEnded(gui::ValueControl& c) {
    Binding* b = find(c);
    if (!b) return;
    if (host_) host_->endEdit(static_cast<int>(b->parameter->id()));
    // Gestures that span several parameters (a stroke over step bars) are one action: it
    // completes when the last of them ends.
    for (const Binding& other : bindings_)
        if (other.control->editing()) return;
    if (actionGroup_ > 0)
        groupHasEdits_ = true;
    else
        userActionCompleted();
}

void GenericPluginInterface::endActionGroup() {
    if (actionGroup_ == 0 || --actionGroup_ > 0 || !groupHasEdits_) return;
    groupHasEdits_ = false;
    userActionCompleted();
}

void GenericPluginInterface::userActionCompleted() {
    plugin_.undoHistory().recordEdit();
}

void GenericPluginInterface::undo() {
    if (plugin_.undoHistory().undo()) refreshAll();
}

void GenericPluginInterface::redo() {
    if (plugin_.undoHistory().redo()) refreshAll();
}

void GenericPluginInterface::toggleCompare() {
    plugin_.compareStates().toggle();
    refreshAll();
}

void GenericPluginInterface::copyToOtherSlot() {
    plugin_.compareStates().copyToOther();
}

void GenericPluginInterface::idle() {
    plugin_.pump();
    refreshAll();
}

void GenericPluginInterface::refreshAll() {
    // A control being dragged keeps what the hand says; everything else follows the plug-in.
    for (Binding& b : bindings_) {
        const float plain = b.parameter->getValue();
        if (plain == b.shownPlain || b.control->editing()) continue;
        b.shownPlain = plain;
        b.control->setValue(toSteps(*b.parameter, plain));
    }
}

void GenericPluginInterface::paint(gui::Graphics& g) {
    g.fillRect(localBounds(), gui::palette::kBackground);
}

bool GenericPluginInterface::typeValue(gui::ValueControl& control, const std::string& text) {
    Binding* b = find(control);
    float plain = 0;
    if (!b || !b->parameter->parseText(text, &plain)) return false;
    control.editTo(toSteps(*b->parameter, plain));
    return true;
}

void GenericPluginInterface::editValue(gui::ValueControl& control) {
    const gui::Rect r = control.rootBounds();
    // Over the value text at the foot of the control, at least wide enough to type in.
    const int width = std::max(r.width, 72);
    const gui::Rect area{r.x + (r.width - width) / 2, r.bottom() - 18, width, 18};
    gui::TextEditor::editOver(
        *this, area, control.valueText(),
        [this, &control](const std::string& text) { typeValue(control, text); });
}

bool GenericPluginInterface::mouseDown(const gui::MouseEvent& e) {
    if (!(e.modifiers & gui::modifier::kRightButton)) return false;
    for (Binding& b : bindings_) {
        gui::ValueControl* c = b.control;
        if (!c->showing() || !c->rootBounds().contains(e.position)) continue;
        gui::Menu menu;
        menu.add("Enter Value...", 1);
        menu.add("Default Value", 2);
        gui::PopupMenu::show(*this, std::move(menu), e.position, [this, c](int id) {
            if (id == 1) editValue(*c);
            if (id == 2) c->editTo(c->defaultValue());
        });
        return true;
    }
    return false;
}
