#pragma once

#include <string>
#include <vector>

#include "framework/GenericPlugin.h"
#include "gui/RootControl.h"
#include "gui/ValueControl.h"

class AbstractPluginParameter;

// The editor of any plug-in of the framework: binds value controls to parameters, turns their
// gestures into parameter edits that the host sees as begin/change/end, records an undo step after
// each completed action, and keeps the controls in step with changes from elsewhere (automation,
// MIDI, presets, undo) by comparing at every idle call.
class GenericPluginInterface : public gui::RootControl,
                               protected gui::ValueControlListener,
                               private GenericPlugin::Listener {
public:
    // The host's side of an edit, so that automation records the gesture; the plug-in itself is
    // changed by the editor directly.
    class HostEdits {
    public:
        virtual ~HostEdits() = default;
        virtual void beginEdit(int /*id*/) {}
        virtual void valueEdited(int /*id*/, float /*plain*/) {}
        virtual void endEdit(int /*id*/) {}
        // Something the parameters do not hold changed (the tuning): the session has changed.
        virtual void stateChanged() {}
    };

    // Steps of a continuous parameter's control; indexed ones get one step per value.
    static constexpr int32_t kContinuousSteps = 65536;

    explicit GenericPluginInterface(GenericPlugin& plugin, HostEdits* host = nullptr);
    ~GenericPluginInterface() override;

    GenericPlugin& plugin() { return plugin_; }
    void setHostEdits(HostEdits* host) { host_ = host; }
    // Tells the host that the state beyond the parameters changed.
    void stateEdited() {
        if (host_) host_->stateChanged();
    }

    // The control shows and edits the parameter; its maximum, default and value text follow it.
    void bind(gui::ValueControl& control, int parameterId);
    // By name; an unknown name is a programming error, caught in tests.
    void bind(gui::ValueControl& control, const std::string& parameterName);
    int parameterId(const std::string& name);
    // The display text of every value of an indexed parameter, lowest first.
    std::vector<std::string> valueTexts(int parameterId);
    // The controls MIDI learn offers, with their parameters.
    size_t learnableCount() const { return bindings_.size(); }
    const gui::ValueControl* learnableControl(size_t i) const { return bindings_[i].control; }
    uint32_t learnableParameter(size_t i) const;
    // A parameter's name, MIDI-learn-only parameters included.
    std::string parameterName(int32_t id);
    // The parameter bound to a control, or -1.
    int boundParameter(const gui::ValueControl& control) const;

    void paint(gui::Graphics& g) override;
    // A right click on a bound control offers typing its value and its default.
    bool mouseDown(const gui::MouseEvent& e) override;
    // Types a value into a control as the musician would: the parameter's own parser reads it;
    // text it cannot read changes nothing. True when the value was taken.
    bool typeValue(gui::ValueControl& control, const std::string& text);
    void editValue(gui::ValueControl& control);
    // Called by the platform about 30 times a second on the editor's thread.
    virtual void idle();
    // A completed user action: one undo step, and A/B now differs.
    virtual void userActionCompleted();
    // Edits that end between these calls make one action: a control moving two parameters.
    void beginActionGroup() { ++actionGroup_; }
    void endActionGroup();
    void undo();
    void redo();
    void toggleCompare();
    void copyToOtherSlot();
    // Another preset or state became current: every control follows.
    virtual void presetChanged() { refreshAll(); }

    // Conversions between a control's steps and a parameter's plain value.
    static int32_t stepsOf(const AbstractPluginParameter& p);
    static int32_t toSteps(const AbstractPluginParameter& p, float plain);
    static float toPlain(const AbstractPluginParameter& p, int32_t steps);

protected:
    void editBegan(gui::ValueControl& c) override;
    void valueChanged(gui::ValueControl& c) override;
    void editEnded(gui::ValueControl& c) override;
    // Something else changed the state (preset, undo, A/B): every control is brought up to date.
    void refreshAll();

private:
    // The core's notifications, delivered by pump() from idle(): a new preset or state refreshes
    // everything; single changes are picked up by the comparison in idle().
    void notify(int code, int value) override;

    struct Binding {
        gui::ValueControl* control;
        AbstractPluginParameter* parameter;
        float shownPlain;
    };
    Binding* find(const gui::ValueControl& c);

    GenericPlugin& plugin_;
    HostEdits* host_;
    std::vector<Binding> bindings_;
    int actionGroup_ = 0;
    bool groupHasEdits_ = false;
};
