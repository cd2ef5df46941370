#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "gui/RootControl.h"
#include "gui/x11/X11Interface.h"

// The processor time an open 960x600 editor window costs, with its idle call at 30 Hz as hosts
// make it, on each back end: unchanged, and with the whole window changing every frame. Needs an
// X display ($DISPLAY; Xvfb with -noreset, which otherwise refuses connections while it resets
// after a window closes); OpenGL is forced on software rasterisers. The counter core_percent is
// the process's time (all threads) over wall time; the X server's own time is not in it.
namespace {

constexpr int kFramesPerSecond = 30;
constexpr int kSeconds = 10;

class Panel : public gui::Component {
public:
    void paint(gui::Graphics& g) override {
        const float shade = static_cast<float>(frame % 64) / 64.0f;
        g.fillRect(localBounds(), gui::Colour{0.2f, shade, 0.4f, 1.0f});
        for (int i = 0; i < 12; ++i)
            g.fillRoundedRect({40 + i * 72, 200 + (frame + i * 9) % 100, 60, 60}, 8,
                              gui::Colour::rgb(0xe0a040, 0.8f));
        g.text("Frame " + std::to_string(frame), {20, 20, 300, 30}, gui::Font{18, true},
               gui::Colour::rgb(0xffffff));
    }
    int frame = 0;
};

double processSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Arguments: the acceleration setting value (0 Cairo, 2 OpenGL at 30 frames/s), and whether
// every frame changes the whole window.
void BM_X11WindowAt30Hz(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no X display");
        return;
    }
    setenv("VORN_FORCE_OPENGL", "1", 1);
    gui::RootControl root;
    Panel& panel = root.add<Panel>();
    panel.setBounds({0, 0, 960, 600});
    gui::x11::X11Interface::Options options;
    options.scale = 1;
    options.graphicsAcceleration = static_cast<int>(state.range(0));
    auto ui = gui::x11::X11Interface::create(root, options);
    if (!ui) {
        state.SkipWithError("no window");
        return;
    }
    ui->show();
    const bool changing = state.range(1) != 0;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        const double cpu0 = processSeconds();
        const auto start = Clock::now();
        for (int frame = 0; frame < kFramesPerSecond * kSeconds; ++frame) {
            if (changing) {
                panel.frame = frame;
                panel.repaint();
            }
            ui->idle();
            std::this_thread::sleep_until(
                start + std::chrono::milliseconds((frame + 1) * 1000 / kFramesPerSecond));
        }
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(wall);
        state.counters["core_percent"] = 100.0 * (processSeconds() - cpu0) / wall;
        state.counters["opengl"] = ui->usingOpenGL() ? 1 : 0;
    }
}
BENCHMARK(BM_X11WindowAt30Hz)
    ->Args({0, 0})
    ->Args({2, 0})
    ->Args({0, 1})
    ->Args({2, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
