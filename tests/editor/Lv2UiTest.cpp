// Before Xlib, whose macros clash with the atom forge.
// clang-format off
#include "host/lv2/Lv2Plugin.h"
// clang-format on

#include <cairo.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "editor/VornInterface.h"
#include "engine/VornPlugin.h"
#include "framework/AbstractPluginParameter.h"
#include "gui/Knob.h"
#include "gui/Modifiers.h"
#include "gui/x11/Xlib.h"
#include "host/lv2/Lv2Ports.h"
#include "tests/gui/XvfbServer.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kBlock = 256;

LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri) {
    auto& ids = *static_cast<std::map<std::string, LV2_URID>*>(handle);
    return ids.emplace(uri, static_cast<LV2_URID>(ids.size() + 1)).first->second;
}

// The host's side of both modules: the plug-in running block by block on its ports, the UI
// embedded in a window of ours, and a record of everything the UI told the host.
class Lv2UiHost {
public:
    struct Write {
        uint32_t port;
        float value;
    };

    explicit Lv2UiHost(Display* display) : display_(display) {
        plugin_ = dlopen(VORN_LV2_BUNDLE "/vorn.so", RTLD_NOW | RTLD_LOCAL);
        ui_ = dlopen(VORN_LV2_BUNDLE "/vorn_ui.so", RTLD_NOW | RTLD_LOCAL);
        if (!plugin_ || !ui_) return;
        auto* pluginEntry =
            reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(dlsym(plugin_, "lv2_descriptor"));
        auto* uiEntry =
            reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(dlsym(ui_, "lv2ui_descriptor"));
        pluginDescriptor_ = pluginEntry(0);
        uiDescriptor_ = uiEntry(0);
        const LV2_Feature* features[] = {&mapFeature_, nullptr};
        instance_ =
            pluginDescriptor_->instantiate(pluginDescriptor_, 48000, VORN_LV2_BUNDLE "/", features);
        connectPorts();
        pluginDescriptor_->activate(instance_);
        parent_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 100, 100, 0, 0,
                                      0x101010);
        XMapWindow(display_, parent_);
        XSync(display_, False);
    }

    ~Lv2UiHost() {
        closeUi();
        if (instance_) pluginDescriptor_->cleanup(instance_);
        if (parent_) XDestroyWindow(display_, parent_);
        XSync(display_, False);
        if (ui_) dlclose(ui_);
        if (plugin_) dlclose(plugin_);
    }

    bool loaded() const { return instance_ != nullptr; }
    VornPlugin& synth() { return static_cast<Lv2Plugin*>(instance_)->synth(); }
    const LV2UI_Descriptor& uiDescriptor() const { return *uiDescriptor_; }
    LV2UI_Handle ui() const { return uiHandle_; }

    // The features a host like jalv gives, less those named in `without`.
    std::vector<const LV2_Feature*> uiFeatures(const std::vector<std::string>& without = {}) {
        parentFeature_.data = reinterpret_cast<void*>(parent_);
        instanceFeature_.data = instance_;
        std::vector<const LV2_Feature*> all = {&parentFeature_, &instanceFeature_,
                                               &resizeFeature_, &touchFeature_,
                                               &mapFeature_,    &optionsFeature_};
        std::vector<const LV2_Feature*> kept;
        for (const LV2_Feature* f : all) {
            if (std::find(without.begin(), without.end(), f->URI) == without.end())
                kept.push_back(f);
        }
        kept.push_back(nullptr);
        return kept;
    }

    LV2UI_Handle openUi(const std::vector<std::string>& without = {}) {
        const auto features = uiFeatures(without);
        LV2UI_Widget widget = nullptr;
        uiHandle_ =
            uiDescriptor_->instantiate(uiDescriptor_, Lv2Ports::kPluginUri, VORN_LV2_BUNDLE "/",
                                       &Lv2UiHost::write, this, &widget, features.data());
        widget_ = reinterpret_cast<Window>(widget);
        return uiHandle_;
    }

    void closeUi() {
        if (uiHandle_) uiDescriptor_->cleanup(uiHandle_);
        uiHandle_ = nullptr;
    }

    int idle() {
        const auto* idle = static_cast<const LV2UI_Idle_Interface*>(
            uiDescriptor_->extension_data(LV2_UI__idleInterface));
        return idle->idle(uiHandle_);
    }

    // Runs one block; the host applies the UI's port writes first, as jalv does.
    void run(bool applyWrites) {
        if (applyWrites) {
            for (const Write& w : writes) ports_[w.port] = w.value;
        }
        controlIn_.atom.size = sizeof(LV2_Atom_Sequence_Body);
        notify_.resize(Lv2Ports::kNotifyMinimumSize / sizeof(uint64_t) * 2);
        reinterpret_cast<LV2_Atom*>(notify_.data())->size =
            static_cast<uint32_t>(notify_.size() * sizeof(uint64_t) - sizeof(LV2_Atom));
        pluginDescriptor_->run(instance_, kBlock);
    }

    // Keeps the UI idle at ~100 Hz until done() or the time is up.
    bool idleUntil(const std::function<bool()>& done, int timeoutMs = 8000) {
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            idle();
            if (done()) return true;
            if (Clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    Window widget() const { return widget_; }
    float& port(uint32_t index) { return ports_[index]; }

    std::vector<Write> writes;
    std::vector<std::pair<uint32_t, bool>> touches;
    std::vector<std::pair<int, int>> sizes;

private:
    static void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
                      const void* buffer) {
        auto* host = static_cast<Lv2UiHost*>(controller);
        if (protocol == 0 && size == sizeof(float))
            host->writes.push_back({port, *static_cast<const float*>(buffer)});
    }
    static int resize(LV2UI_Feature_Handle handle, int width, int height) {
        auto* host = static_cast<Lv2UiHost*>(handle);
        host->sizes.emplace_back(width, height);
        XResizeWindow(host->display_, host->parent_, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
        XSync(host->display_, False);
        return 0;
    }
    static void touch(LV2UI_Feature_Handle handle, uint32_t port, bool grabbed) {
        static_cast<Lv2UiHost*>(handle)->touches.emplace_back(port, grabbed);
    }

    void connectPorts() {
        VornPlugin reference;
        ports_.resize(Lv2Ports::kParameterCount);
        for (uint32_t id = 0; id < Lv2Ports::kParameterCount; ++id) {
            ports_[id] = reference.getParameter(static_cast<int>(id))->getDefault();
            pluginDescriptor_->connect_port(instance_, id, &ports_[id]);
        }
        controlIn_.atom.type = mapUri(&ids_, LV2_ATOM__Sequence);
        controlIn_.atom.size = sizeof(LV2_Atom_Sequence_Body);
        pluginDescriptor_->connect_port(instance_, Lv2Ports::kControlIn, &controlIn_);
        notify_.resize(Lv2Ports::kNotifyMinimumSize / sizeof(uint64_t) * 2);
        pluginDescriptor_->connect_port(instance_, Lv2Ports::kNotifyOut, notify_.data());
        for (uint32_t c = 0; c < 2; ++c) {
            outputs_[c].resize(kBlock);
            pluginDescriptor_->connect_port(instance_, Lv2Ports::kOutLeft + c, outputs_[c].data());
        }
    }

    Display* display_;
    void* plugin_ = nullptr;
    void* ui_ = nullptr;
    const LV2_Descriptor* pluginDescriptor_ = nullptr;
    const LV2UI_Descriptor* uiDescriptor_ = nullptr;
    LV2_Handle instance_ = nullptr;
    LV2UI_Handle uiHandle_ = nullptr;
    Window parent_ = 0;
    Window widget_ = 0;

    std::map<std::string, LV2_URID> ids_;
    LV2_URID_Map map_{&ids_, &mapUri};
    float scale_ = 1.0f;
    LV2_Options_Option options_[2] = {{LV2_OPTIONS_INSTANCE, 0, mapUri(&ids_, LV2_UI__scaleFactor),
                                       sizeof(float), mapUri(&ids_, LV2_ATOM__Float), &scale_},
                                      {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    LV2UI_Resize resize_{this, &Lv2UiHost::resize};
    LV2UI_Touch touch_{this, &Lv2UiHost::touch};
    LV2_Feature mapFeature_{LV2_URID__map, &map_};
    LV2_Feature parentFeature_{LV2_UI__parent, nullptr};
    LV2_Feature instanceFeature_{LV2_INSTANCE_ACCESS_URI, nullptr};
    LV2_Feature resizeFeature_{LV2_UI__resize, &resize_};
    LV2_Feature touchFeature_{LV2_UI__touch, &touch_};
    LV2_Feature optionsFeature_{LV2_OPTIONS__options, options_};

    std::vector<float> ports_;
    LV2_Atom_Sequence controlIn_{};
    std::vector<uint64_t> notify_;
    std::vector<float> outputs_[2];
};

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0xRRGGBB

    static Picture of(Display* display, Window window, int x, int y, int w, int h) {
        Picture p;
        XImage* image = XGetImage(display, window, x, y, static_cast<unsigned>(w),
                                  static_cast<unsigned>(h), AllPlanes, ZPixmap);
        if (!image) return p;
        p.width = w;
        p.height = h;
        for (int row = 0; row < h; ++row) {
            for (int col = 0; col < w; ++col)
                p.pixels.push_back(static_cast<uint32_t>(XGetPixel(image, col, row)) & 0xFFFFFF);
        }
        XDestroyImage(image);
        return p;
    }

    // The share of pixels unlike the most common one.
    double varied() const {
        std::map<uint32_t, size_t> counts;
        size_t most = 0;
        for (const uint32_t px : pixels) most = std::max(most, ++counts[px]);
        return pixels.empty() ? 0.0 : 1.0 - static_cast<double>(most) / pixels.size();
    }

    void savePng(const std::string& path) const {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        const int stride = cairo_image_surface_get_stride(s);
        unsigned char* data = cairo_image_surface_get_data(s);
        for (int row = 0; row < height; ++row)
            std::memcpy(data + row * stride, &pixels[static_cast<size_t>(row * width)],
                        static_cast<size_t>(width) * 4);
        cairo_surface_mark_dirty(s);
        cairo_surface_write_to_png(s, path.c_str());
        cairo_surface_destroy(s);
    }
};

int countEntries(const char* folder) {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

// The first knob a user can reach: visible all the way up and on top at its centre.
gui::Knob* reachableKnob(gui::Component& c, gui::RootControl& root) {
    if (!c.visible()) return nullptr;
    if (auto* knob = dynamic_cast<gui::Knob*>(&c)) {
        const gui::Rect r = knob->rootBounds();
        if (r.width > 8 && root.hitTest({r.x + r.width / 2, r.y + r.height / 2}) == knob)
            return knob;
    }
    for (const auto& child : c.children()) {
        if (gui::Knob* k = reachableKnob(*child, root)) return k;
    }
    return nullptr;
}

// Runs xdotool with its arguments while the UI keeps idling.
bool xdotool(Lv2UiHost& host, const std::string& display, const std::vector<std::string>& args) {
    std::vector<std::string> env = {"DISPLAY=" + display};
    std::vector<char*> argv = {const_cast<char*>("xdotool")};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp = {env[0].data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv.data(), envp.data()) != 0)
        return false;
    int status = 0;
    host.idleUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 10000);
    host.idleUntil([] { return false; }, 200);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string tempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vorn-lv2ui-XXXXXX").string();
    return mkdtemp(pattern.data()) ? pattern : std::string();
}

class Lv2UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!gui::test::XvfbServer::available()) GTEST_SKIP() << "Xvfb is not installed";
        // Settings of our own: the editor starts in its default layout, whatever ran before.
        config_ = tempFolder();
        const char* previous = std::getenv("XDG_CONFIG_HOME");
        previousConfig_ = previous ? previous : "";
        setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
        // Tall enough for the tall layout: pictures are taken of whole windows.
        xvfb_ = std::make_unique<gui::test::XvfbServer>(
            std::vector<std::string>{"-screen", "0", "1280x1200x24"});
        ASSERT_TRUE(xvfb_->running());
        setenv("DISPLAY", xvfb_->display().c_str(), 1);
        display_ = XOpenDisplay(xvfb_->display().c_str());
        ASSERT_NE(display_, nullptr);
        host_ = std::make_unique<Lv2UiHost>(display_);
        ASSERT_TRUE(host_->loaded()) << dlerror();
    }
    void TearDown() override {
        host_.reset();
        if (display_) XCloseDisplay(display_);
        xvfb_.reset();
        if (!config_.empty()) {
            std::filesystem::remove_all(config_);
            if (previousConfig_.empty())
                unsetenv("XDG_CONFIG_HOME");
            else
                setenv("XDG_CONFIG_HOME", previousConfig_.c_str(), 1);
        }
    }

    // A click with xdotool at a point of the editor, in its coordinates.
    bool click(gui::Point p) {
        const gui::Point s = onScreen(p);
        return xdotool(
            *host_, xvfb_->display(),
            {"mousemove", std::to_string(s.x), std::to_string(s.y), "sleep", "0.05", "click", "1"});
    }

    gui::Point onScreen(gui::Point p) {
        int x = 0, y = 0;
        Window child = 0;
        XTranslateCoordinates(display_, host_->widget(), DefaultRootWindow(display_), p.x, p.y, &x,
                              &y, &child);
        return {x, y};
    }

    std::string config_;
    std::string previousConfig_;

    std::unique_ptr<gui::test::XvfbServer> xvfb_;
    Display* display_ = nullptr;
    std::unique_ptr<Lv2UiHost> host_;
};

}  // namespace

// The editor in the host's window: drawn, sized, its knob drags reach the host as touches and
// port writes that the plug-in keeps, and the host's port changes move the knob.
TEST_F(Lv2UiTest, EditorRoundTripsWithTheHost) {
    VornPlugin reference;
    VornInterface layout(reference);
    const int w = layout.bounds().width, h = layout.bounds().height;

    const auto started = Clock::now();
    ASSERT_NE(host_->openUi(), nullptr);
    ASSERT_TRUE(host_->idleUntil([&] {
        return Picture::of(display_, host_->widget(), 0, 0, w, h).varied() > 0.2;
    })) << "the editor was not drawn";
    const double openMs = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    const std::string folder = tempFolder();
    Picture::of(display_, host_->widget(), 0, 0, w, h).savePng(folder + "/lv2-editor.png");
    std::printf("editor open and drawn in %.0f ms; screenshot %s/lv2-editor.png\n", openMs,
                folder.c_str());

    // The host learns the size, and the window's hints hold it.
    ASSERT_EQ(host_->sizes.size(), 1u);
    EXPECT_EQ(host_->sizes[0], std::make_pair(w, h));
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(display_, host_->widget(), &hints, &supplied));
    EXPECT_EQ(hints.min_width, w);
    EXPECT_EQ(hints.max_width, w);
    EXPECT_EQ(hints.min_height, h);
    EXPECT_EQ(hints.max_height, h);

    // The oscillators' title opens their panel, in the reference as in the host's editor.
    const gui::Rect title = layout.section(VornInterface::kOscillators).rootBounds();
    const gui::Point titlePoint{title.x + 60, title.y + 8};
    layout.mousePressed({titlePoint, gui::modifier::kLeftButton, 1000});
    layout.mouseReleased({titlePoint, 0, 1050});
    ASSERT_TRUE(click(titlePoint));
    gui::Knob* knob = reachableKnob(layout, layout);
    ASSERT_NE(knob, nullptr);
    const int id = layout.boundParameter(*knob);
    ASSERT_GE(id, 0);
    const gui::Rect k = knob->rootBounds();
    // Up from the bottom, down from anywhere else.
    const int direction = knob->value() > 0 ? 1 : -1;

    // A drag on the knob: one gesture of port writes.
    const gui::Point centre = onScreen({k.x + k.width / 2, k.y + k.height / 2});
    const int x = centre.x, y = centre.y;
    const Picture before = Picture::of(display_, host_->widget(), k.x, k.y, k.width, k.height);
    std::vector<std::string> drag = {
        "mousemove", std::to_string(x), std::to_string(y), "sleep", "0.1", "mousedown", "1"};
    for (int step = 1; step <= 6; ++step) {
        for (const std::string& a :
             {std::string("sleep"), std::string("0.03"), std::string("mousemove"),
              std::to_string(x), std::to_string(y + direction * 8 * step)})
            drag.push_back(a);
    }
    drag.insert(drag.end(), {"sleep", "0.05", "mouseup", "1"});
    ASSERT_TRUE(xdotool(*host_, xvfb_->display(), drag)) << "xdotool failed";
    ASSERT_FALSE(host_->writes.empty()) << "the drag reached no port";
    for (const auto& write : host_->writes) EXPECT_EQ(write.port, static_cast<uint32_t>(id));
    ASSERT_GE(host_->touches.size(), 2u);
    EXPECT_EQ(host_->touches.front(), std::make_pair(static_cast<uint32_t>(id), true));
    EXPECT_EQ(host_->touches.back(), std::make_pair(static_cast<uint32_t>(id), false));
    const float dragged = host_->writes.back().value;
    EXPECT_NE(dragged, host_->port(static_cast<uint32_t>(id)));
    EXPECT_EQ(host_->synth().getParameter(id)->getValue(), dragged);

    // The plug-in keeps the edit while its port still holds the old value, and after the host
    // applied the writes.
    host_->run(false);
    EXPECT_EQ(host_->synth().getParameter(id)->getValue(), dragged);
    host_->run(true);
    EXPECT_EQ(host_->synth().getParameter(id)->getValue(), dragged);
    host_->writes.clear();

    // The host moves the port (automation): the knob follows, and nothing goes back.
    const AbstractPluginParameter& p = *host_->synth().getParameter(id);
    const float automated = p.getMinimum();
    host_->port(static_cast<uint32_t>(id)) = automated;
    host_->run(false);
    EXPECT_EQ(p.getValue(), automated);
    host_->uiDescriptor().port_event(host_->ui(), static_cast<uint32_t>(id), sizeof(float), 0,
                                     &automated);
    const Picture dragPicture = Picture::of(display_, host_->widget(), k.x, k.y, k.width, k.height);
    EXPECT_NE(dragPicture.pixels, before.pixels) << "the drag did not move the knob";
    EXPECT_TRUE(host_->idleUntil([&] {
        return Picture::of(display_, host_->widget(), k.x, k.y, k.width, k.height).pixels !=
               dragPicture.pixels;
    })) << "the host's change did not move the knob";
    EXPECT_TRUE(host_->writes.empty());
}

// Ten opens and closes leave no thread and no descriptor (X connection) behind; a host missing a
// required feature gets no UI, and idle after cleanup says "closed".
TEST_F(Lv2UiTest, OpenCloseLeavesNothingBehind) {
    ASSERT_NE(host_->openUi(), nullptr);
    host_->idleUntil([] { return false; }, 300);
    host_->closeUi();
    const int threads = countEntries("/proc/self/task");
    const int fds = countEntries("/proc/self/fd");

    double slowestMs = 0;
    for (int round = 0; round < 10; ++round) {
        const auto started = Clock::now();
        LV2UI_Handle ui = host_->openUi();
        ASSERT_NE(ui, nullptr);
        host_->idle();
        slowestMs = std::max(
            slowestMs, std::chrono::duration<double, std::milli>(Clock::now() - started).count());
        host_->closeUi();
        EXPECT_EQ(host_->uiDescriptor().extension_data(LV2_UI__idleInterface) != nullptr, true);
        const auto* idle = static_cast<const LV2UI_Idle_Interface*>(
            host_->uiDescriptor().extension_data(LV2_UI__idleInterface));
        EXPECT_NE(idle->idle(ui), 0) << "idle after cleanup";
    }
    std::printf("slowest of ten opens: %.0f ms\n", slowestMs);
    EXPECT_EQ(countEntries("/proc/self/task"), threads);
    EXPECT_EQ(countEntries("/proc/self/fd"), fds);

    EXPECT_EQ(host_->openUi({LV2_UI__parent}), nullptr);
    EXPECT_EQ(host_->openUi({LV2_INSTANCE_ACCESS_URI}), nullptr);
    EXPECT_EQ(countEntries("/proc/self/fd"), fds);
}
