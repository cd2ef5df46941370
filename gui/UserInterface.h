#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "gui/Events.h"
#include "gui/Timer.h"

namespace gui {

class RootControl;

// Message box buttons and answers.
namespace box {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kAnsweredOk = 0;
inline constexpr int kAnsweredCancel = 1;
}  // namespace box

// What a platform window offers the component tree: redraw requests, timers, the clipboard, the
// browser, message boxes and the scale. X11 implements it (X11Interface); tests and headless
// pictures use OffscreenInterface.
class UserInterface {
public:
    // Told of the window's life.
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void interfaceResized(int32_t /*width*/, int32_t /*height*/) {}
        virtual void interfaceClosing() {}
    };

    // Sees every mouse event before the tree; returning true consumes it (MIDI learn, drags of
    // modulation sources).
    class MouseHook {
    public:
        virtual ~MouseHook() = default;
        enum class Kind { Down, Drag, Up, Wheel, Move };
        virtual bool hookMouse(Kind kind, const MouseEvent& rootEvent) = 0;
    };

    explicit UserInterface(RootControl& root);
    virtual ~UserInterface();

    RootControl& root() { return root_; }
    void setListener(Listener* l) { listener_ = l; }
    Listener* listener() const { return listener_; }
    void setMouseHook(MouseHook* h) { mouseHook_ = h; }
    MouseHook* mouseHook() const { return mouseHook_; }

    // Logical to device pixels (HiDPI).
    virtual float scale() const = 0;
    // Something in the tree needs drawing; the platform draws the root's dirty region soon.
    virtual void redrawRequested() = 0;
    virtual std::unique_ptr<Timer> createTimer() = 0;
    virtual std::string clipboardText() = 0;
    virtual void setClipboardText(const std::string& text) = 0;
    virtual void openUrl(std::string_view url) = 0;
    // Asks the host window to change size; false when it cannot.
    virtual bool requestSize(int32_t width, int32_t height) = 0;

    // Shows "Information" (OK only) or "Confirmation" (OK and Cancel) over the tree; other input
    // is blocked until it is answered. The answer arrives through `done` (0 OK, 1 Cancel).
    void messageBox(std::string text, int buttons, std::function<void(int)> done = {});

private:
    RootControl& root_;
    Listener* listener_ = nullptr;
    MouseHook* mouseHook_ = nullptr;
};

}  // namespace gui
