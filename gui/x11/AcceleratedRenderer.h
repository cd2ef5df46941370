#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "gui/Geometry.h"
#include "gui/x11/AcceleratedBitmap.h"
#include "gui/x11/GlCapabilities.h"
#include "gui/x11/XErrorTrap.h"
#include "gui/x11/Xlib.h"

namespace gui::x11 {

// The OpenGL back end's thread. It has its own display connection (Xlib is not used from two
// threads on one connection) and its own GLX context, made and destroyed on the thread. The
// editor's thread hands it the changed parts of the Cairo picture; the thread uploads them into
// the window's texture and draws and swaps, paced to the frame rate, only when something changed.
class AcceleratedRenderer {
public:
    enum class State { Starting, Running, Failed };

    struct Config {
        std::string displayName;
        Window window = 0;
        VisualID visual = 0;  // the window's, to find the same GLX configuration
        AccelerationSetting setting;
        bool forced = false;  // accept software rasterisers
    };

    // The visual of a GLX configuration fit for the window (RGBA, double buffered, 8 bits per
    // channel, 24 deep); the reason when there is none. Errors are trapped.
    static std::string chooseVisual(Display* display, XVisualInfo& out);

    explicit AcceleratedRenderer(Config config);
    AcceleratedRenderer(const AcceleratedRenderer&) = delete;
    AcceleratedRenderer& operator=(const AcceleratedRenderer&) = delete;
    // Stops the thread, which deletes the texture and the context.
    ~AcceleratedRenderer();

    // Waits at most `timeoutMs` for the thread to be drawing or to have failed.
    State waitForStart(int timeoutMs);
    State state() const { return state_.load(std::memory_order_acquire); }
    // Why it failed; valid once state() is Failed.
    std::string failure() const;

    // Copies rectangles of a whole-window BGRA picture of `width` x `height` for the next frame.
    void submit(const uint8_t* pixels, int32_t stride, int32_t width, int32_t height,
                const std::vector<Rect>& rects);

private:
    void run();
    std::string setUp();
    std::string makeContext(GLXFBConfig config);
    void tearDown();
    void releaseContext();
    void loop();
    bool drawFrame();
    void fail(std::string reason);

    Config config_;
    Display* display_ = nullptr;
    std::optional<XErrorGuard> guard_;  // while display_ is open
    GLXContext context_ = nullptr;
    GLXWindow drawable_ = 0;
    AcceleratedBitmap bitmap_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::atomic<State> state_{State::Starting};
    std::string failure_;
    // The picture shared with the editor's thread, under mutex_.
    std::vector<uint8_t> pixels_;
    int32_t width_ = 0, height_ = 0;
    std::vector<Rect> pending_;
    bool resized_ = false;
    std::thread thread_;
};

}  // namespace gui::x11
