#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string_view>
#include <thread>

#include "gui/Clock.h"
#include "gui/Modifiers.h"
#include "gui/RootControl.h"
#include "gui/SoftwareRenderer.h"
#include "gui/x11/X11Input.h"
#include "gui/x11/X11Interface.h"
#include "gui/x11/Xlib.h"
#include "tests/engine/ProgramRun.h"
#include "tests/gui/XvfbServer.h"

namespace gui::x11 {
namespace {

using test::XvfbServer;

constexpr int32_t kWidth = 240, kHeight = 160;

// A coloured rectangle that takes the mouse and remembers what reached it.
class Swatch : public Control {
public:
    explicit Swatch(Colour c) : colour(c) {}
    void paint(Graphics& g) override { g.fillRect(localBounds(), colour); }
    bool mouseDown(const MouseEvent& e) override {
        downs.push_back(e);
        return true;
    }
    void mouseDrag(const MouseEvent& e) override { drags.push_back(e); }
    void mouseUp(const MouseEvent& e) override { ups.push_back(e); }
    bool mouseWheel(const MouseEvent& e) override {
        wheels.push_back(e);
        return true;
    }
    bool keyDown(const KeyEvent& k) override {
        keys.push_back(k);
        return true;
    }

    Colour colour;
    std::vector<MouseEvent> downs, drags, ups, wheels;
    std::vector<KeyEvent> keys;
};

// Text and translucency over a background, and a corner left transparent (shown black).
class Label : public Component {
public:
    void paint(Graphics& g) override {
        g.fillRoundedRect(localBounds(), 6, Colour::rgb(0x2060c0, 0.5f));
        g.text("Cutoff 1.2 kHz", localBounds(), Font{13, true}, Colour::rgb(0xffffff));
    }
};

struct Tree {
    Swatch* swatch = nullptr;
    Swatch* other = nullptr;
};

Tree buildTree(RootControl& root) {
    struct Background : Component {
        void paint(Graphics& g) override {
            g.fillRect({0, 0, kWidth - 30, kHeight}, Colour::rgb(0x303840));
        }
    };
    Tree t;
    root.setBounds({0, 0, kWidth, kHeight});
    root.add<Background>().setBounds({0, 0, kWidth, kHeight});
    t.swatch = &root.add<Swatch>(Colour::rgb(0xe05030));
    t.swatch->setBounds({20, 20, 100, 80});
    t.other = &root.add<Swatch>(Colour::rgb(0x40c070, 0.75f));
    t.other->setBounds({140, 30, 80, 60});
    root.add<Label>().setBounds({10, 110, 220, 40});
    return t;
}

bool waitFor(X11Interface& ui, const std::function<bool()>& done, int timeoutMs = 8000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        ui.idle();
        if (done()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool viewable(Display* d, Window w) {
    XWindowAttributes a{};
    return XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable;
}

// The headless picture, premultiplied colour as a window without alpha shows it.
std::vector<uint32_t> reference(RootControl& root, float scale) {
    SoftwareRenderer renderer;
    renderer.setSize(root.bounds().width, root.bounds().height, scale);
    renderer.render(root);
    cairo_surface_t* s = renderer.surface();
    const int stride = cairo_image_surface_get_stride(s) / 4;
    const auto* data = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(s));
    std::vector<uint32_t> out;
    for (int y = 0; y < renderer.deviceHeight(); ++y)
        for (int x = 0; x < renderer.deviceWidth(); ++x)
            out.push_back(data[y * stride + x] & 0xffffff);
    return out;
}

int largestChannelDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size() || a.empty()) return 256;
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8)
            worst = std::max(worst, std::abs(static_cast<int>((a[i] >> shift) & 255) -
                                             static_cast<int>((b[i] >> shift) & 255)));
    return worst;
}

// Waits for the window to show what the tree looks like now; returns the last difference.
int waitForPicture(X11Interface& ui, RootControl& root, int tolerance) {
    Display* d = ui.display();
    const Window w = ui.window();
    waitFor(ui, [&] { return viewable(d, w) && !root.dirty(); });
    const std::vector<uint32_t> expected = reference(root, ui.scale());
    const int dw = static_cast<int>(root.bounds().width * ui.scale());
    const int dh = static_cast<int>(root.bounds().height * ui.scale());
    int difference = 256;
    waitFor(ui, [&] {
        difference = largestChannelDifference(test::windowPixels(d, w, {0, 0, dw, dh}), expected);
        return difference <= tolerance;
    });
    return difference;
}

X11Interface::Options options(const XvfbServer& x, int acceleration, float scale = 1.0f) {
    X11Interface::Options o;
    o.displayName = x.display();
    o.width = kWidth;
    o.height = kHeight;
    o.scale = scale;
    o.graphicsAcceleration = acceleration;
    return o;
}

// Runs xdotool against the display of DISPLAY and waits for it.
bool xdotool(const std::string& args) {
    return runShell("xdotool " + args).status == 0;
}

#define START_XVFB(name, ...)                                \
    if (!XvfbServer::available()) GTEST_SKIP() << "no Xvfb"; \
    XvfbServer name{__VA_ARGS__};                            \
    ASSERT_TRUE(name.running())

TEST(X11InterfaceTest, OpenGLWindowShowsTheHeadlessPicture) {
    START_XVFB(x);
    RootControl root;
    Tree tree = buildTree(root);
    setenv("VORN_FORCE_OPENGL", "1", 1);
    auto ui = X11Interface::create(root, options(x, 2));
    ASSERT_TRUE(ui);
    EXPECT_TRUE(ui->usingOpenGL());
    ui->show();
    EXPECT_LE(waitForPicture(*ui, root, 1), 1);
    tree.other->colour = Colour::rgb(0xffd000, 0.5f);
    tree.other->repaint();
    EXPECT_LE(waitForPicture(*ui, root, 1), 1);
    EXPECT_TRUE(ui->usingOpenGL());
    ui.reset();

    // Contexts refused at start, or a display without GLX: the window draws with Cairo and says
    // why, once.
    XvfbServer noGlx{{"-extension", "GLX"}};
    ASSERT_TRUE(noGlx.running());
    const struct {
        const char* variable;
        const char* value;
        const char* said;
        const XvfbServer& server;
    } refusals[] = {
        {"MESA_GL_VERSION_OVERRIDE", "1.2", "OpenGL version 1\\.2.* is below 1\\.3", x},
        // The server offers no indirect rendering: context creation raises BadValue.
        {"LIBGL_ALWAYS_INDIRECT", "1", "the OpenGL context could not be made", x},
        {"VORN_FORCE_OPENGL", "0", "software rasteriser llvmpipe.*", x},
        {"VORN_FORCE_OPENGL", "1", "no GLX on the display", noGlx},
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.said);
        setenv(r.variable, r.value, 1);
        testing::internal::CaptureStderr();
        auto refused = X11Interface::create(root, options(r.server, 1));
        const std::string said = testing::internal::GetCapturedStderr();
        unsetenv(r.variable);
        setenv("VORN_FORCE_OPENGL", "1", 1);
        ASSERT_TRUE(refused);
        EXPECT_FALSE(refused->usingOpenGL());
        EXPECT_THAT(said, testing::MatchesRegex(std::string("Vorn: OpenGL unavailable \\(") +
                                                r.said + "\\); drawing with Cairo\n"));
        refused->show();
        EXPECT_EQ(waitForPicture(*refused, root, 0), 0);
    }
    unsetenv("VORN_FORCE_OPENGL");
}

// The timer, the browser and the clipboard of a shown window.
void timerBrowserAndClipboard(X11Interface& ui, const XvfbServer& x) {
    int ticks = 0;
    std::unique_ptr<Timer> timer = ui.createTimer();
    timer->setInterval(10);
    timer->setCallback([&] { ++ticks; });
    timer->start();
    EXPECT_TRUE(waitFor(ui, [&] { return ticks >= 3; }));
    timer->stop();

    // The browser is started detached: a stand-in xdg-open on the PATH records its argument.
    ScratchFolder folder;
    const std::string dir = folder.path().string(), seen = dir + "/seen";
    std::ofstream(dir + "/xdg-open") << "#!/bin/sh\necho \"$1\" > " << seen << ".part && mv "
                                     << seen << ".part " << seen << "\n";
    chmod((dir + "/xdg-open").c_str(), 0700);
    const std::string path = std::getenv("PATH");
    setenv("PATH", (dir + ":" + path).c_str(), 1);
    ui.openUrl("https://example.org/manual?page=2&lang=en");
    setenv("PATH", path.c_str(), 1);
    std::string opened;
    waitFor(ui, [&] { return std::getline(std::ifstream(seen) >> std::ws, opened).good(); });
    EXPECT_EQ(opened, "https://example.org/manual?page=2&lang=en");

    // Text copied in one window is read in another connection's window, and back.
    RootControl otherRoot;
    auto other = X11Interface::create(otherRoot, options(x, 0));
    ASSERT_TRUE(other);
    ui.setClipboardText("Filter \xc3\xa9 1");
    EXPECT_EQ(ui.clipboardText(), "Filter \xc3\xa9 1");
    // The owner answers from its idle call, so it runs on a thread meanwhile.
    std::atomic<bool> serving{true};
    std::thread owner([&] {
        while (serving) {
            ui.idle();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const std::string read = other->clipboardText();
    serving = false;
    owner.join();
    EXPECT_EQ(read, "Filter \xc3\xa9 1");
}

// At scales 1 and 2: the window shows the headless picture, also after a partial update, and a
// drag, a wheel notch and keys reach the control in logical pixels. At scale 1 also the timer,
// the browser and the clipboard.
TEST(X11InterfaceTest, SoftwareWindowDrawsAndTakesInputInLogicalPixels) {
    START_XVFB(x);
    setenv("DISPLAY", x.display().c_str(), 1);
    for (const float scale : {2.0f, 1.0f}) {
        SCOPED_TRACE(scale);
        RootControl root;
        Tree tree = buildTree(root);
        auto ui = X11Interface::create(root, options(x, 0, scale));
        ASSERT_TRUE(ui);
        EXPECT_FALSE(ui->usingOpenGL());
        ui->show();
        EXPECT_EQ(waitForPicture(*ui, root, 0), 0);
        tree.swatch->colour = Colour::rgb(0x1080ff);  // a partial update
        tree.swatch->repaint();
        EXPECT_EQ(waitForPicture(*ui, root, 0), 0);
        const auto at = [&](int logical) {
            return std::to_string(static_cast<int>(logical * scale));
        };
        const std::string window = std::to_string(ui->window());
        // The swatch's top left corner is at logical (20, 20).
        ASSERT_TRUE(xdotool("mousemove --window " + window + " " + at(30) + " " + at(35) +
                            " mousedown 1 mousemove --window " + window + " " + at(70) + " " +
                            at(65) + " mouseup 1"));
        ASSERT_TRUE(waitFor(*ui, [&] { return !tree.swatch->ups.empty(); }));
        ASSERT_EQ(tree.swatch->downs.size(), 1u);
        const MouseEvent& down = tree.swatch->downs[0];
        EXPECT_EQ(down.position, (Point{10, 15}));
        EXPECT_EQ(down.modifiers, modifier::kLeftButton);
        ASSERT_FALSE(tree.swatch->drags.empty());
        EXPECT_EQ(tree.swatch->drags.back().position, (Point{50, 45}));
        EXPECT_EQ(tree.swatch->drags.back().modifiers, modifier::kLeftButton);
        EXPECT_EQ(tree.swatch->ups[0].position, (Point{50, 45}));
        EXPECT_GE(tree.swatch->ups[0].time, down.time);
        EXPECT_TRUE(tree.other->downs.empty());

        // A wheel notch down over the swatch, then keys for it as the focused control (the
        // server's focus follows the pointer).
        root.setFocus(tree.swatch);
        ASSERT_TRUE(xdotool("click 5 key Return shift+a"));
        ASSERT_TRUE(waitFor(*ui, [&] { return tree.swatch->keys.size() >= 2; }));
        ASSERT_EQ(tree.swatch->wheels.size(), 1u);
        EXPECT_EQ(tree.swatch->wheels[0].wheelY, -1.0f);
        EXPECT_EQ(tree.swatch->wheels[0].position, (Point{50, 45}));
        EXPECT_EQ(tree.swatch->keys[0].key, Key::Enter);
        EXPECT_EQ(tree.swatch->keys[1].text, "A");
        EXPECT_EQ(tree.swatch->keys[1].modifiers, modifier::kShift);
        if (scale == 1.0f) timerBrowserAndClipboard(*ui, x);
    }
}

// An XSETTINGS block: a string, a colour and the double-click time, in either byte order.
std::vector<uint8_t> settingsBlock(bool bigEndian) {
    std::vector<uint8_t> b;
    auto number = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b.push_back(static_cast<uint8_t>(v >> 8 * (bigEndian ? bytes - 1 - i : i)));
    };
    auto text = [&](std::string_view s) {
        b.insert(b.end(), s.begin(), s.end());
        while (b.size() % 4) b.push_back(0);
    };
    auto header = [&](uint32_t type, std::string_view name) {
        number(type, 1);
        number(0, 1);
        number(static_cast<uint32_t>(name.size()), 2);
        text(name);
        number(7, 4);  // serial of the last change
    };
    number(bigEndian ? 1 : 0, 1);
    number(0, 3);
    number(42, 4);
    number(3, 4);
    header(1, "Net/ThemeName");
    number(7, 4);
    text("Adwaita");
    header(2, "Gtk/Color");
    number(0xffff, 2), number(0, 2), number(0x8000, 2), number(0xffff, 2);
    header(0, "Net/DoubleClickTime");
    number(250, 4);
    return b;
}

TEST(X11TranslationTest, XSettingsBlockGivesTheDoubleClickTime) {
    for (const bool bigEndian : {false, true}) {
        const std::vector<uint8_t> b = settingsBlock(bigEndian);
        EXPECT_EQ(b.size(), 108u);
        EXPECT_EQ(xsettingsInteger(b.data(), b.size(), "Net/DoubleClickTime"), 250);
        EXPECT_EQ(xsettingsInteger(b.data(), b.size(), "Net/ThemeName"), std::nullopt);
        EXPECT_EQ(xsettingsInteger(b.data(), b.size(), "Net/CursorBlinkTime"), std::nullopt);
        // Every cut short of the whole block is refused without reading past it.
        for (size_t n = 0; n < b.size(); ++n)
            EXPECT_EQ(xsettingsInteger(b.data(), n, "Net/DoubleClickTime"), std::nullopt) << n;
    }
    EXPECT_EQ(xsettingsInteger(nullptr, 0, "Net/DoubleClickTime"), std::nullopt);
}

// A host's window on its own connection; its desktop publishes a double-click time of 250 ms
// through XSETTINGS.
Window makeHostWindow(Display* host) {
    const Window hostWindow =
        XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 400, 300, 0, 0, 0xffffff);
    XMapWindow(host, hostWindow);
    const std::vector<uint8_t> settings = settingsBlock(true);
    const Atom property = XInternAtom(host, "_XSETTINGS_SETTINGS", False);
    XChangeProperty(host, hostWindow, property, property, 8, PropModeReplace, settings.data(),
                    static_cast<int>(settings.size()));
    XSetSelectionOwner(host, XInternAtom(host, "_XSETTINGS_S0", False), hostWindow, CurrentTime);
    XSync(host, False);
    return hostWindow;
}

int hostErrors = 0;
int countHostError(Display*, XErrorEvent*) {
    ++hostErrors;
    return 0;
}

// The LV2 case, on both back ends.
void hostScenario(const XvfbServer& x, int acceleration) {
    const int tolerance = acceleration ? 1 : 0;
    Display* host = XOpenDisplay(x.display().c_str());
    ASSERT_TRUE(host);
    const XErrorHandler hostHandler = XSetErrorHandler(countHostError);
    hostErrors = 0;
    const Window hostWindow = makeHostWindow(host);

    RootControl root;
    buildTree(root);
    struct Sizes : UserInterface::Listener {
        void interfaceResized(int32_t w, int32_t h) override { size = {w, h}; }
        Point size;
    } sizes;
    X11Interface::Options o = options(x, acceleration);
    o.parent = hostWindow;
    auto ui = X11Interface::create(root, o);
    ASSERT_TRUE(ui);
    ui->setListener(&sizes);
    EXPECT_EQ(doubleClickTime(), 250);
    setDoubleClickTime(kDefaultDoubleClickMs);
    Window rootWindow = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(host, ui->window(), &rootWindow, &parent, &children, &count);
    if (children) XFree(children);
    EXPECT_EQ(parent, hostWindow);
    EXPECT_EQ(ui->usingOpenGL(), acceleration != 0);
    EXPECT_LE(waitForPicture(*ui, root, tolerance), tolerance);

    // The host makes our window bigger: the tree follows and is drawn at the new size.
    XResizeWindow(host, ui->window(), 300, 200);
    XSync(host, False);
    EXPECT_TRUE(waitFor(*ui, [&] { return root.bounds().width == 300; }));
    EXPECT_EQ(sizes.size, (Point{300, 200}));
    EXPECT_LE(waitForPicture(*ui, root, tolerance), tolerance);

    // A host window that does not exist is refused without ending the process.
    o.parent = hostWindow + 1000;
    testing::internal::CaptureStderr();
    RootControl orphan;
    EXPECT_FALSE(X11Interface::create(orphan, o));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot be used"), std::string::npos);
    // So is a size no screen can show.
    o.parent = hostWindow;
    o.scale = 200;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(X11Interface::create(orphan, o));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot be shown"), std::string::npos);

    // An error on the editor's connection (a request in flight to a window the host destroyed)
    // does not end the process; the host's own errors still reach the host's handler.
    XMapWindow(ui->display(), hostWindow + 1000);
    ui->idle();
    XSync(ui->display(), False);
    XMapWindow(host, hostWindow + 1000);
    XSync(host, False);
    EXPECT_EQ(hostErrors, 1);

    // The host destroys its window, ours with it, and closes the editor after, with or without
    // an idle call between: nothing fails.
    XDestroyWindow(host, hostWindow);
    XSync(host, False);
    if (acceleration == 0)
        for (int i = 0; i < 5; ++i) ui->idle();
    ui.reset();
    EXPECT_EQ(XSetErrorHandler(hostHandler), &countHostError) << "the host's handler is back";
    XCloseDisplay(host);
}

TEST(X11InterfaceTest, ChildOfAHostWindowFollowsTheHost) {
    START_XVFB(x);
    setenv("VORN_FORCE_OPENGL", "1", 1);
    for (const int acceleration : {0, 1}) {
        SCOPED_TRACE(acceleration);
        hostScenario(x, acceleration);
    }
    unsetenv("VORN_FORCE_OPENGL");
}

}  // namespace
}  // namespace gui::x11
