// Before Xlib, whose macros clash with the atom forge.
// clang-format off
#include "host/lv2/Lv2Plugin.h"
// clang-format on

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "editor/VornInterface.h"
#include "engine/VornPlugin.h"
#include "framework/AbstractPluginParameter.h"
#include "gui/Modifiers.h"
#include "gui/x11/Xlib.h"
#include "host/lv2/Lv2PortTable.h"
#include "host/lv2/Lv2Symbols.h"
#include "tests/editor/EditorRig.h"
#include "tests/engine/ProgramRun.h"
#include "tests/gui/XvfbServer.h"
#include "tests/host/lv2/Lv2TestHost.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kBlock = 256;

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// The UI module in a window of ours at the screen's corner, over a plug-in instance of the LV2
// test host, as jalv runs them; whatever the UI tells the host is recorded.
class UiHost {
public:
    UiHost(Display* display, Lv2TestWorld& world)
        : display_(display),
          world_(world),
          plugin_(world, world.plugin(Lv2Ports::kPluginUri), 48000),
          symbols_(parameterSymbols(reference_)) {
        module_ = dlopen(VORN_LV2_BUNDLE "/vorn.so", RTLD_NOW | RTLD_LOCAL);
        if (!module_) return;
        u_ = reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(
            dlsym(module_, "lv2ui_descriptor"))(0);
        parent_ =
            XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 100, 100, 0, 0, 0);
        XMapWindow(display_, parent_);
        XSync(display_, False);
        options_[0] = {LV2_OPTIONS_INSTANCE,           0,
                       world.map(LV2_UI__scaleFactor), sizeof(float),
                       world.map(LV2_ATOM__Float),     &scale_};
    }
    ~UiHost() {
        close();
        destroyParent();
        if (module_) dlclose(module_);
    }

    bool loaded() const { return u_ != nullptr; }
    VornPlugin& synth() { return static_cast<Lv2Plugin*>(handle())->synth(); }

    // With the features jalv gives, less one.
    LV2UI_Handle open(const char* without = "") {
        const LV2_Feature parent{LV2_UI__parent, reinterpret_cast<void*>(parent_)};
        const LV2_Feature access{LV2_INSTANCE_ACCESS_URI, handle()};
        const LV2_Feature map{LV2_URID__map, world_.mapFeature()};
        const LV2_Feature options{LV2_OPTIONS__options, options_};
        std::vector<const LV2_Feature*> features;
        for (const LV2_Feature* f : std::initializer_list<const LV2_Feature*>{
                 &parent, &access, &map, &options, &resizeFeature_, &touchFeature_}) {
            if (std::strcmp(f->URI, without) != 0) features.push_back(f);
        }
        features.push_back(nullptr);
        LV2UI_Widget widget = nullptr;
        ui_ = u_->instantiate(u_, Lv2Ports::kPluginUri, VORN_LV2_BUNDLE "/", &UiHost::write, this,
                              &widget, features.data());
        widget_ = reinterpret_cast<Window>(widget);
        return ui_;
    }
    void close() {
        if (ui_) u_->cleanup(ui_);
        ui_ = nullptr;
    }
    int idle(LV2UI_Handle ui = nullptr) {
        const auto* i =
            static_cast<const LV2UI_Idle_Interface*>(u_->extension_data(LV2_UI__idleInterface));
        return i->idle(ui ? ui : ui_);
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
    // One block; with applyWrites the UI's port writes first, as jalv does.
    void run(bool applyWrites) {
        for (const auto& w : applyWrites ? writes : std::vector<std::pair<uint32_t, float>>{})
            setPort(w.first, w.second);
        plugin_.run(kBlock, out_[0].data(), out_[1].data());
    }
    void setPort(uint32_t port, float value) {
        plugin_.setControl(symbols_[Lv2Ports::kParameterOfPort[port]], value);
    }
    float port(uint32_t port) const {
        return plugin_.control(symbols_[Lv2Ports::kParameterOfPort[port]]);
    }
    void portEvent(uint32_t port, float value) {
        setPort(port, value);
        run(false);
        u_->port_event(ui_, port, sizeof(float), 0, &value);
    }
    void destroyParent() {
        if (parent_) XDestroyWindow(display_, parent_);
        XSync(display_, False);
        parent_ = 0;
    }
    Window widget() const { return widget_; }

    std::vector<std::pair<uint32_t, float>> writes;
    std::vector<std::pair<uint32_t, bool>> touches;
    std::vector<std::pair<int, int>> sizes;

private:
    LV2_Handle handle() { return lilv_instance_get_handle(plugin_.instance()); }
    static void write(LV2UI_Controller host, uint32_t port, uint32_t size, uint32_t protocol,
                      const void* buffer) {
        if (protocol == 0 && size == sizeof(float))
            static_cast<UiHost*>(host)->writes.emplace_back(port,
                                                            *static_cast<const float*>(buffer));
    }
    static int resize(LV2UI_Feature_Handle handle, int width, int height) {
        auto* host = static_cast<UiHost*>(handle);
        host->sizes.emplace_back(width, height);
        XResizeWindow(host->display_, host->parent_, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
        XSync(host->display_, False);
        return 0;
    }
    static void touch(LV2UI_Feature_Handle handle, uint32_t port, bool grabbed) {
        static_cast<UiHost*>(handle)->touches.emplace_back(port, grabbed);
    }

    Display* display_;
    Lv2TestWorld& world_;
    Lv2TestInstance plugin_;
    VornPlugin reference_;
    std::vector<std::string> symbols_;
    void* module_ = nullptr;
    const LV2UI_Descriptor* u_ = nullptr;
    LV2UI_Handle ui_ = nullptr;
    Window parent_ = 0;
    Window widget_ = 0;
    float scale_ = 1.0f;
    LV2_Options_Option options_[2] = {};
    LV2UI_Resize resize_{this, &UiHost::resize};
    LV2UI_Touch touch_{this, &UiHost::touch};
    LV2_Feature resizeFeature_{LV2_UI__resize, &resize_};
    LV2_Feature touchFeature_{LV2_UI__touch, &touch_};
    std::vector<float> out_[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
};

// The share of pixels unlike the most common one.
double varied(const std::vector<uint32_t>& pixels) {
    std::map<uint32_t, size_t> counts;
    size_t most = 0;
    for (const uint32_t px : pixels) most = std::max(most, ++counts[px]);
    return pixels.empty() ? 0.0 : 1.0 - static_cast<double>(most) / pixels.size();
}

int entries(const char* folder) {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

class Lv2UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!gui::test::XvfbServer::available()) GTEST_SKIP() << "Xvfb is not installed";
        // Settings of our own, so that the editor starts in its default layout.
        setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
        // Tall enough for the tall layout.
        xvfb_ = std::make_unique<gui::test::XvfbServer>(
            std::vector<std::string>{"-screen", "0", "1280x1200x24"});
        ASSERT_TRUE(xvfb_->running());
        setenv("DISPLAY", xvfb_->display().c_str(), 1);
        display_ = XOpenDisplay(xvfb_->display().c_str());
        ASSERT_NE(display_, nullptr);
        static Lv2TestWorld world(VORN_LV2_PATH);
        host_ = std::make_unique<UiHost>(display_, world);
        ASSERT_TRUE(host_->loaded()) << dlerror();
    }
    void TearDown() override {
        host_.reset();
        if (display_) XCloseDisplay(display_);
        xvfb_.reset();
    }

    // xdotool's commands, run while the UI keeps idling; the UI's corner is the screen's.
    bool xdotool(const std::string& args) {
        std::atomic<int> status{-2};
        std::thread run([&] { status = runShell("xdotool " + args).status; });
        host_->idleUntil([&] { return status != -2; }, 10000);
        run.join();
        host_->idleUntil([] { return false; }, 200);
        return status == 0;
    }

    std::vector<uint32_t> picture(const gui::Rect& r) {
        return gui::test::windowPixels(display_, host_->widget(), r);
    }

    ScratchFolder config_;
    std::unique_ptr<gui::test::XvfbServer> xvfb_;
    Display* display_ = nullptr;
    std::unique_ptr<UiHost> host_;
};

}  // namespace

// In the host's window the editor is drawn at its size with fixed size hints; a knob drag reaches
// the host as one touch gesture of port writes that the plug-in keeps, and a host port change
// moves the knob.
TEST_F(Lv2UiTest, EditorRoundTripsWithTheHost) {
    VornPlugin reference;
    VornInterface layout(reference);
    const gui::Rect all = layout.bounds();
    const auto started = Clock::now();
    ASSERT_NE(host_->open(), nullptr);
    ASSERT_TRUE(host_->idleUntil([&] { return varied(picture(all)) > 0.2; }));
    std::printf("editor open and drawn in %.0f ms\n", msSince(started));
    EXPECT_EQ(host_->sizes, (std::vector<std::pair<int, int>>{{all.width, all.height}}));
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(display_, host_->widget(), &hints, &supplied));
    EXPECT_EQ(
        std::vector<int>({hints.min_width, hints.max_width, hints.min_height, hints.max_height}),
        std::vector<int>({all.width, all.width, all.height, all.height}));

    // The oscillators' title opens their panel, in the reference as in the host's editor.
    const gui::Rect title = layout.section(VornInterface::kOscillators).rootBounds();
    const gui::Point t{title.x + 60, title.y + 8};
    layout.mousePressed({t, gui::modifier::kLeftButton, 1000});
    layout.mouseReleased({t, 0, 1050});
    ASSERT_TRUE(
        xdotool("mousemove " + std::to_string(t.x) + " " + std::to_string(t.y) + " click 1"));
    gui::Knob* knob = reachableKnob(layout, layout);
    ASSERT_NE(knob, nullptr);
    const int id = layout.boundParameter(*knob);
    const uint32_t port = Lv2Ports::portOfParameter(id);
    const gui::Rect k = knob->rootBounds();
    const int x = k.x + k.width / 2, y = k.y + k.height / 2;
    const int step = knob->value() > 0 ? 8 : -8;  // down, or up from the bottom
    const std::vector<uint32_t> before = picture(k);
    const auto at = [&](int dy) { return std::to_string(x) + " " + std::to_string(y + dy); };
    std::string drag = "mousemove " + at(0) + " mousedown 1";
    for (int i = 1; i <= 6; ++i) drag += " sleep 0.03 mousemove " + at(step * i);
    ASSERT_TRUE(xdotool(drag + " mouseup 1"));
    ASSERT_FALSE(host_->writes.empty()) << "the drag reached no port";
    for (const auto& w : host_->writes) EXPECT_EQ(w.first, port);
    ASSERT_GE(host_->touches.size(), 2u);
    EXPECT_EQ(host_->touches.front(), std::make_pair(port, true));
    EXPECT_EQ(host_->touches.back(), std::make_pair(port, false));
    AbstractPluginParameter& p = *host_->synth().getParameter(id);
    const float written = host_->writes.back().second;
    const float dragged = Lv2Ports::plainOfPortValue(p, id, written);
    EXPECT_NE(written, host_->port(port));
    // The plug-in keeps the edit while its port still holds the old value, and after.
    for (const bool applied : {false, true}) {
        host_->run(applied);
        EXPECT_EQ(p.getValue(), dragged) << applied;
    }
    host_->writes.clear();

    // Automation moves the knob, and nothing goes back to the host.
    const std::vector<uint32_t> dragPicture = picture(k);
    EXPECT_NE(dragPicture, before) << "the drag did not move the knob";
    host_->portEvent(port, Lv2Ports::portValueOfPlain(p, id, p.getMinimum()));
    EXPECT_EQ(p.getValue(), p.getMinimum());
    EXPECT_TRUE(host_->idleUntil([&] { return picture(k) != dragPicture; }));
    EXPECT_TRUE(host_->writes.empty());

    // A change made inside (MIDI learn, a program change) reaches the host's port.
    const float inside = 0.5f * (p.getMinimum() + p.getMaximum());
    p.setValue(inside, 0);
    ASSERT_TRUE(host_->idleUntil([&] { return !host_->writes.empty(); }));
    EXPECT_EQ(host_->writes, (std::vector<std::pair<uint32_t, float>>{
                                 {port, Lv2Ports::portValueOfPlain(p, id, inside)}}));
}

// Ten opens and closes, with either renderer, leave no thread and no descriptor (X connection)
// behind; idle after cleanup or after the host destroyed its window says "closed"; a host
// without a required feature gets no UI.
TEST_F(Lv2UiTest, OpenCloseLeavesNothingBehind) {
    ASSERT_NE(host_->open(), nullptr);
    host_->idleUntil([] { return false; }, 300);
    host_->close();
    const int threads = entries("/proc/self/task"), fds = entries("/proc/self/fd");
    double slowest = 0;
    for (int round = 0; round < 10; ++round) {
        // Every other round on OpenGL (llvmpipe under Xvfb), whose renderer runs a thread.
        setenv("VORN_FORCE_OPENGL", round % 2 ? "1" : "0", 1);
        const auto started = Clock::now();
        LV2UI_Handle ui = host_->open();
        ASSERT_NE(ui, nullptr);
        host_->idle();
        slowest = std::max(slowest, msSince(started));
        host_->close();
        EXPECT_NE(host_->idle(ui), 0);
    }
    unsetenv("VORN_FORCE_OPENGL");
    std::printf("slowest of ten opens: %.0f ms\n", slowest);
    EXPECT_EQ(entries("/proc/self/task"), threads);
    EXPECT_EQ(entries("/proc/self/fd"), fds);

    EXPECT_EQ(host_->open(LV2_UI__parent), nullptr);
    EXPECT_EQ(host_->open(LV2_INSTANCE_ACCESS_URI), nullptr);
    ASSERT_NE(host_->open(), nullptr);
    host_->idle();
    host_->destroyParent();
    EXPECT_TRUE(host_->idleUntil([&] { return host_->idle() != 0; }, 2000));
    host_->close();
}
