#pragma once

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include <memory>
#include <string>

#include "editor/VornInterface.h"
#include "gui/UserInterface.h"

namespace gui::x11 {
class X11Interface;
}
class Lv2Plugin;

// The synthesizer's editor as an LV2 X11 UI, embedded in the host's window. It edits the plug-in
// instance directly (instance access) and tells the host through port writes and touch gestures,
// so that automation records; changes from anywhere else show at the next idle call, and those
// made inside the plug-in (preset loads, MIDI learn, program changes) go to the ports then too.
class Lv2Ui : private GenericPluginInterface::HostEdits, private gui::UserInterface::Listener {
public:
    struct HostLink {
        LV2UI_Write_Function write = nullptr;
        LV2UI_Controller controller = nullptr;
    };

    // Null, with the reason on stderr, when a required feature is missing or the window cannot
    // be made.
    static std::unique_ptr<Lv2Ui> create(const std::string& bundlePath, HostLink host,
                                         const LV2_Feature* const* features);
    ~Lv2Ui() override;
    Lv2Ui(const Lv2Ui&) = delete;
    Lv2Ui& operator=(const Lv2Ui&) = delete;

    unsigned long window() const;
    // The idle interface: handles input, follows the plug-in and draws; non-zero once closed.
    int idle();
    VornInterface& editor() { return editor_; }

private:
    struct Features;
    Lv2Ui(Lv2Plugin& plugin, HostLink host, const Features& features);
    bool open(const std::string& bundlePath, const Features& features);
    void tellHostSize(int32_t width, int32_t height);

    void beginEdit(int id) override;
    void valueEdited(int id, float plain) override;
    void endEdit(int id) override;
    void interfaceResized(int32_t width, int32_t height) override;
    void interfaceClosing() override { closed_ = true; }

    Lv2Plugin& plugin_;
    HostLink host_;
    const LV2UI_Resize* resize_;
    const LV2UI_Touch* touch_;
    VornInterface editor_;
    std::unique_ptr<gui::x11::X11Interface> window_;
    bool closed_ = false;
};
