#pragma once

#include <memory>
#include <optional>
#include <string>

#include "gui/UserInterface.h"
#include "gui/x11/X11Timer.h"
#include "gui/x11/XErrorTrap.h"

struct _XDisplay;
union _XEvent;

namespace gui::x11 {

class X11Clipboard;
class X11Control;
class X11MessageHook;

// One editor window on X11, with its own display connection: a child of a host's window (an LV2
// UI's parent) or a top-level window. Everything happens on the caller's thread in idle(), which
// the host's idle interface or the program's loop calls some 30 to 60 times a second.
class X11Interface : public UserInterface {
public:
    // Larger windows are refused (X allows 32767; no screen is that big).
    static constexpr int32_t kMaxDeviceSize = 16384;

    struct Options {
        unsigned long parent = 0;  // the host's window; 0 makes a top-level window
        int32_t width = 960;       // logical pixels
        int32_t height = 600;
        float scale = 0;               // 0: from Xft.dpi, else 1
        int graphicsAcceleration = 0;  // the "GraphicsAcceleration" setting
        std::string title = "Vorn";
        std::string displayName;  // empty: $DISPLAY
    };

    // Null, with a line on stderr, when the display or the parent window cannot be used.
    static std::unique_ptr<X11Interface> create(RootControl& root, const Options& options);
    ~X11Interface() override;

    int connectionFd() const;
    // Handles pending X events, fires due timers and draws what is dirty.
    void idle();
    unsigned long window() const;
    _XDisplay* display() const { return display_; }
    bool usingOpenGL() const;
    // The window went with the host's window: the editor should be closed.
    bool gone() const { return gone_; }
    void show();
    void hide();
    void setMessageHook(X11MessageHook* hook) { hook_ = hook; }

    float scale() const override { return scale_; }
    void redrawRequested() override {}
    std::unique_ptr<Timer> createTimer() override { return timers_.create(); }
    std::string clipboardText() override;
    void setClipboardText(const std::string& text) override;
    void openUrl(std::string_view url) override;
    bool requestSize(int32_t width, int32_t height) override;

private:
    X11Interface(RootControl& root, _XDisplay* display, float scale);
    bool open(const Options& options);
    bool makeControl(unsigned long parent, int graphicsAcceleration);
    void setUpTopLevel(const std::string& title);
    void setSizeHints(int32_t width, int32_t height);
    int32_t toDevice(int32_t logical) const;
    void handle(_XEvent& event);
    void handleButton(const _XEvent& event, bool press);
    void handleKey(_XEvent& event);
    void handleExpose(const _XEvent& event);
    void handleConfigure(const _XEvent& event);
    void handleClientMessage(const _XEvent& event);
    MouseEvent mouseEvent(const _XEvent& event, int x, int y, unsigned int state,
                          unsigned long time) const;

    _XDisplay* display_;
    std::optional<XErrorGuard> guard_;  // until the connection closes
    float scale_;
    std::unique_ptr<X11Control> control_;
    std::unique_ptr<X11Clipboard> clipboard_;
    X11TimerList timers_;
    X11MessageHook* hook_ = nullptr;
    unsigned long wmDelete_ = 0;
    bool mapped_ = false;
    bool gone_ = false;
};

}  // namespace gui::x11
