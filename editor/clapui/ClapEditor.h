#pragma once

#include <clap/ext/gui.h>
#include <clap/ext/timer-support.h>

#include <cstdint>
#include <memory>

#include "editor/VornInterface.h"
#include "gui/UserInterface.h"
#include "host/clap/ClapPlugin.h"

namespace gui::x11 {
class X11Interface;
}

// The synthesizer's editor in a CLAP host's window (CLAP_WINDOW_API_X11, embedded). It edits the
// instance directly; each edit reaches the host as a gesture and a parameter value. The host's
// timer (timer-support, about 30 Hz) drives its input, redraws and following of outside changes.
class ClapEditor : public ClapPlugin::Editor,
                   private GenericPluginInterface::HostEdits,
                   private gui::UserInterface::Listener {
public:
    static constexpr uint32_t kTimerPeriodMs = 33;

    // The gui and timer-support extensions every instance of the module answers with.
    static const clap_plugin_gui_t kGui;
    static const clap_plugin_timer_support_t kTimer;

    // Null without the host's timer support, which the editor needs to run.
    static std::unique_ptr<ClapEditor> create(ClapPlugin& plugin);
    ~ClapEditor() override;

    bool setScale(double scale);
    void size(uint32_t& width, uint32_t& height) const;
    bool setParent(unsigned long window);
    void onTimer();

private:
    ClapEditor(ClapPlugin& plugin, const clap_host_timer_support_t* timers);

    void beginEdit(int id) override { plugin_.gesture(id, true); }
    void valueEdited(int /*id*/, float /*plain*/) override { plugin_.requestFlush(); }
    void endEdit(int id) override { plugin_.gesture(id, false); }
    void stateChanged() override { plugin_.markDirty(); }
    void interfaceResized(int32_t width, int32_t height) override;

    ClapPlugin& plugin_;
    const clap_host_timer_support_t* timers_;
    clap_id timer_ = CLAP_INVALID_ID;
    float scale_ = 0;
    VornInterface editor_;
    std::unique_ptr<gui::x11::X11Interface> window_;
};
