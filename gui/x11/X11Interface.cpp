#include "gui/x11/X11Interface.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gui/Clock.h"
#include "gui/RootControl.h"
#include "gui/x11/AcceleratedX11Control.h"
#include "gui/x11/X11Clipboard.h"
#include "gui/x11/X11Control.h"
#include "gui/x11/X11Input.h"
#include "gui/x11/X11MessageHook.h"
#include "gui/x11/XErrorTrap.h"
#include "gui/x11/Xlib.h"

namespace gui::x11 {
namespace {

bool forcedOpenGL() {
    const char* v = std::getenv("VORN_FORCE_OPENGL");
    return v && std::strcmp(v, "1") == 0;
}

// A foreign window may be gone or bad: asked about with errors trapped.
bool usableParent(Display* display, Window parent) {
    XErrorTrap trap(display);
    XWindowAttributes attributes{};
    const bool ok = XGetWindowAttributes(display, parent, &attributes) != 0;
    return trap.check() == 0 && ok;
}

// The desktop's double-click time, where an XSETTINGS manager publishes one.
void adoptDesktopDoubleClickTime(Display* display) {
    const std::string selection = "_XSETTINGS_S" + std::to_string(DefaultScreen(display));
    const Window owner =
        XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False));
    if (owner == kNone) return;
    const Atom property = XInternAtom(display, "_XSETTINGS_SETTINGS", False);
    // The manager's window may be gone by now.
    XErrorTrap trap(display);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, owner, property, 0, 1 << 16, False, property,
                                          &type, &format, &count, &after, &data);
    if (trap.check() == 0 && status == Success && format == 8) {
        const auto ms = xsettingsInteger(data, count, "Net/DoubleClickTime");
        if (ms && *ms > 0 && *ms <= 5000) setDoubleClickTime(*ms);
    }
    if (data) XFree(data);
}

}  // namespace

std::unique_ptr<X11Interface> X11Interface::create(RootControl& root, const Options& options) {
    const char* name = options.displayName.empty() ? nullptr : options.displayName.c_str();
    Display* display = XOpenDisplay(name);
    if (!display) {
        std::fprintf(stderr, "Vorn: cannot open the X display %s\n", XDisplayName(name));
        return nullptr;
    }
    float scale = options.scale;
    if (!(scale > 0)) scale = scaleFromResources(XResourceManagerString(display));
    adoptDesktopDoubleClickTime(display);
    std::unique_ptr<X11Interface> ui(new X11Interface(root, display, scale));
    if (!ui->open(options)) return nullptr;
    return ui;
}

X11Interface::X11Interface(RootControl& root, Display* display, float scale)
    : UserInterface(root), display_(display), scale_(scale) {
    guard_.emplace(display_);
}

X11Interface::~X11Interface() {
    clipboard_.reset();
    // The render thread and the window go before the connection.
    control_.reset();
    XCloseDisplay(display_);
    guard_.reset();
}

int32_t X11Interface::toDevice(int32_t logical) const {
    const double device = std::ceil(static_cast<double>(logical) * scale_);
    return static_cast<int32_t>(std::clamp(device, 1.0, 1e9));
}

bool X11Interface::open(const Options& options) {
    if (options.width <= 0 || options.height <= 0 || toDevice(options.width) > kMaxDeviceSize ||
        toDevice(options.height) > kMaxDeviceSize) {
        std::fprintf(stderr, "Vorn: an editor of %d x %d at scale %g cannot be shown\n",
                     options.width, options.height, static_cast<double>(scale_));
        return false;
    }
    const Window parent = options.parent ? options.parent : DefaultRootWindow(display_);
    if (options.parent && !usableParent(display_, parent)) {
        std::fprintf(stderr, "Vorn: the host window 0x%lx cannot be used\n", options.parent);
        return false;
    }
    root().setBounds({0, 0, options.width, options.height});
    if (!makeControl(parent, options.graphicsAcceleration)) {
        std::fprintf(stderr, "Vorn: the editor window could not be made\n");
        return false;
    }
    clipboard_ = std::make_unique<X11Clipboard>(display_, control_->window());
    setSizeHints(options.width, options.height);
    if (options.parent)
        XMapWindow(display_, control_->window());
    else
        setUpTopLevel(options.title);
    XFlush(display_);
    return true;
}

bool X11Interface::makeControl(Window parent, int graphicsAcceleration) {
    const AccelerationSetting setting = AccelerationSetting::from(graphicsAcceleration);
    const int w = toDevice(root().bounds().width), h = toDevice(root().bounds().height);
    Colormap colormap = 0;
    XVisualInfo visual{};
    if (setting.openGL) {
        const std::string why = AcceleratedRenderer::chooseVisual(display_, visual);
        if (!why.empty()) reportGlFallback(why);
        if (why.empty()) {
            Window window = 0;
            {
                XErrorTrap trap(display_);
                window = X11Control::createWindow(display_, parent, w, h, &visual, colormap);
                if (trap.check() != 0) return false;
            }
            AcceleratedRenderer::Config config{DisplayString(display_), window, visual.visualid,
                                               setting, forcedOpenGL()};
            control_ = std::make_unique<AcceleratedX11Control>(display_, window, colormap,
                                                               std::move(config));
            return true;
        }
    }
    XErrorTrap trap(display_);
    const Window window = X11Control::createWindow(display_, parent, w, h, nullptr, colormap);
    if (trap.check() != 0) return false;
    control_ = std::make_unique<X11Control>(display_, window, colormap);
    return true;
}

void X11Interface::setUpTopLevel(const std::string& title) {
    const Window w = control_->window();
    XStoreName(display_, w, title.c_str());
    XChangeProperty(display_, w, XInternAtom(display_, "_NET_WM_NAME", False),
                    XInternAtom(display_, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
    Atom deleteWindow = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    wmDelete_ = deleteWindow;
    XSetWMProtocols(display_, w, &deleteWindow, 1);
}

// Hosts (jalv, Ardour) keep the size only when the minimum changes too, and stretch the window
// without a maximum.
void X11Interface::setSizeHints(int32_t width, int32_t height) {
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize | PSize;
    hints.width = hints.min_width = hints.max_width = toDevice(width);
    hints.height = hints.min_height = hints.max_height = toDevice(height);
    XSetWMNormalHints(display_, control_->window(), &hints);
}

int X11Interface::connectionFd() const {
    return ConnectionNumber(display_);
}

unsigned long X11Interface::window() const {
    return control_->window();
}

bool X11Interface::usingOpenGL() const {
    return control_->accelerated();
}

void X11Interface::show() {
    XMapRaised(display_, control_->window());
    XFlush(display_);
}

void X11Interface::hide() {
    XUnmapWindow(display_, control_->window());
    XFlush(display_);
}

void X11Interface::idle() {
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        // Only the latest of a run of motions matters.
        while (event.type == MotionNotify && XEventsQueued(display_, QueuedAlready) > 0) {
            XEvent next;
            XPeekEvent(display_, &next);
            if (next.type != MotionNotify || next.xmotion.window != event.xmotion.window) break;
            XNextEvent(display_, &event);
        }
        handle(event);
    }
    timers_.fireDue(X11TimerList::now());
    control_->checkHealth();
    // Hidden windows keep their dirty region until they are shown.
    if (mapped_ && root().dirty()) control_->draw(root(), scale_);
    XFlush(display_);
}

std::string X11Interface::clipboardText() {
    return clipboard_->text();
}

void X11Interface::setClipboardText(const std::string& text) {
    clipboard_->setText(text);
}

void X11Interface::openUrl(std::string_view url) {
    // posix_spawn, not fork: a host's process may be large and threaded. The shell puts
    // xdg-open in the background and ends at once, so nothing waits for the browser and no
    // zombie is left.
    const std::string target(url);
    const char* argv[] = {"sh", "-c",           "xdg-open \"$1\" >/dev/null 2>&1 &",
                          "sh", target.c_str(), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, "sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) == 0)
        waitpid(child, nullptr, 0);
}

bool X11Interface::requestSize(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || toDevice(width) > kMaxDeviceSize ||
        toDevice(height) > kMaxDeviceSize)
        return false;
    XResizeWindow(display_, control_->window(), static_cast<unsigned>(toDevice(width)),
                  static_cast<unsigned>(toDevice(height)));
    setSizeHints(width, height);
    root().setBounds({0, 0, width, height});
    root().invalidate(root().localBounds());
    if (listener()) listener()->interfaceResized(width, height);
    XFlush(display_);
    return true;
}

}  // namespace gui::x11

namespace gui::x11 {

MouseEvent X11Interface::mouseEvent(const XEvent& event, int x, int y, unsigned int state,
                                    unsigned long time) const {
    MouseEvent e;
    e.position = {static_cast<int32_t>(std::floor(x / scale_)),
                  static_cast<int32_t>(std::floor(y / scale_))};
    e.modifiers = modifiersFromState(state);
    if (hook_) e.modifiers |= hook_->extraModifiers(event);
    e.time = static_cast<int64_t>(time);
    return e;
}

void X11Interface::handle(XEvent& event) {
    switch (event.type) {
        case ButtonPress:
            handleButton(event, true);
            break;
        case ButtonRelease:
            handleButton(event, false);
            break;
        case MotionNotify: {
            const XMotionEvent& m = event.xmotion;
            root().mouseMoved(mouseEvent(event, m.x, m.y, m.state, m.time));
            break;
        }
        case EnterNotify: {
            const XCrossingEvent& c = event.xcrossing;
            if (c.mode == NotifyNormal)
                root().mouseMoved(mouseEvent(event, c.x, c.y, c.state, c.time));
            break;
        }
        case LeaveNotify:
            root().mouseExited();
            break;
        case KeyPress:
            handleKey(event);
            break;
        case Expose:
            handleExpose(event);
            break;
        case ConfigureNotify:
            handleConfigure(event);
            break;
        case MapNotify:
            mapped_ = true;
            break;
        case DestroyNotify:
            if (event.xdestroywindow.window == control_->window()) {
                control_->windowDestroyed();
                gone_ = true;
                mapped_ = false;
            }
            break;
        case UnmapNotify:
            mapped_ = false;
            break;
        case ClientMessage:
            handleClientMessage(event);
            break;
        case SelectionRequest:
            clipboard_->answer(event.xselectionrequest);
            break;
        default:
            break;
    }
}

void X11Interface::handleButton(const XEvent& event, bool press) {
    const XButtonEvent& b = event.xbutton;
    MouseEvent e = mouseEvent(event, b.x, b.y, b.state, b.time);
    if (wheelFromButton(b.button, e.wheelX, e.wheelY)) {
        // A notch is a press and a release: only the press counts.
        if (press) root().mouseWheeled(e);
        return;
    }
    if (!press) {
        root().mouseReleased(e);
        return;
    }
    e.modifiers |= buttonFlag(b.button);
    root().mousePressed(e);
    // A control that took the focus wants the keys, which go to the focused window.
    if (root().focus()) XSetInputFocus(display_, control_->window(), RevertToParent, b.time);
}

void X11Interface::handleKey(XEvent& event) {
    char buffer[16];
    KeySym keysym = 0;
    XLookupString(&event.xkey, buffer, sizeof buffer, &keysym, nullptr);
    KeyEvent k;
    k.key = keyFromKeysym(keysym);
    if (k.key == Key::None) k.text = textFromKeysym(keysym);
    k.modifiers = modifiersFromState(event.xkey.state);
    if (hook_) k.modifiers |= hook_->extraModifiers(event);
    k.time = static_cast<int64_t>(event.xkey.time);
    if (k.key != Key::None || !k.text.empty()) root().keyPressed(k);
}

void X11Interface::handleExpose(const XEvent& event) {
    const XExposeEvent& x = event.xexpose;
    const auto x0 = static_cast<int32_t>(std::floor(x.x / scale_));
    const auto y0 = static_cast<int32_t>(std::floor(x.y / scale_));
    const auto x1 = static_cast<int32_t>(std::ceil((x.x + x.width) / scale_));
    const auto y1 = static_cast<int32_t>(std::ceil((x.y + x.height) / scale_));
    root().invalidate({x0, y0, x1 - x0, y1 - y0});
}

// The host may resize its window and ours with it.
void X11Interface::handleConfigure(const XEvent& event) {
    const XConfigureEvent& c = event.xconfigure;
    if (c.window != control_->window()) return;
    // Compared in device pixels: a fractional scale must not make the tree creep by a pixel.
    if (c.width == toDevice(root().bounds().width) && c.height == toDevice(root().bounds().height))
        return;
    const auto w = static_cast<int32_t>(std::lround(c.width / scale_));
    const auto h = static_cast<int32_t>(std::lround(c.height / scale_));
    root().setBounds({0, 0, w, h});
    root().invalidate(root().localBounds());
    if (listener()) listener()->interfaceResized(w, h);
}

void X11Interface::handleClientMessage(const XEvent& event) {
    const XClientMessageEvent& m = event.xclient;
    if (wmDelete_ && m.format == 32 && static_cast<unsigned long>(m.data.l[0]) == wmDelete_ &&
        listener())
        listener()->interfaceClosing();
}

}  // namespace gui::x11
