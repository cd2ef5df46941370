#pragma once

#include <string>

#include "editor/VornInterface.h"
#include "engine/VornPlugin.h"
#include "framework/AbstractPluginParameter.h"
#include "gui/Knob.h"
#include "gui/Modifiers.h"
#include "gui/OffscreenInterface.h"

// Writes down the host's edit gestures: "b<id> " at the start, "e<id> " at the end, "s " for a
// change beyond the parameters.
struct Gestures : GenericPluginInterface::HostEdits {
    std::string log;
    void beginEdit(int id) override { log += "b" + std::to_string(id) + " "; }
    void endEdit(int id) override { log += "e" + std::to_string(id) + " "; }
    void stateChanged() override { log += "s "; }
};

// The editor over a plug-in, drawn off screen and driven by synthetic events.
struct EditorRig {
    VornPlugin plugin;
    Gestures host;
    VornInterface editor{plugin, &host};
    gui::OffscreenInterface ui{editor};
    int64_t time = 0;

    AbstractPluginParameter& parameter(const std::string& name) {
        return *plugin.getParameter(editor.parameterId(name));
    }
    // A change from outside the editor, which it picks up at its next idle call.
    void set(const std::string& name, float plain) {
        parameter(name).setValue(plain, 0);
        editor.idle();
        ui.render();
    }
    void click(gui::Point p, int64_t after = 1000) {
        editor.mousePressed({p, gui::modifier::kLeftButton, time += after});
        editor.mouseReleased({p, 0, time += 10});
    }
    static gui::Point centre(const gui::Rect& r) { return {r.x + r.width / 2, r.y + r.height / 2}; }
};

// The first knob a user can reach: visible and on top at its centre.
inline gui::Knob* reachableKnob(gui::Component& c, gui::RootControl& root) {
    if (!c.visible()) return nullptr;
    if (auto* knob = dynamic_cast<gui::Knob*>(&c)) {
        const gui::Rect r = knob->rootBounds();
        if (root.hitTest({r.x + r.width / 2, r.y + r.height / 2}) == knob) return knob;
    }
    for (const auto& child : c.children()) {
        if (gui::Knob* k = reachableKnob(*child, root)) return k;
    }
    return nullptr;
}
