#include "gui/x11/AcceleratedRenderer.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "gui/x11/XErrorTrap.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace gui::x11 {
namespace {

constexpr int kFramebufferAttributes[] = {GLX_X_RENDERABLE,
                                          True,
                                          GLX_DRAWABLE_TYPE,
                                          GLX_WINDOW_BIT,
                                          GLX_RENDER_TYPE,
                                          GLX_RGBA_BIT,
                                          GLX_DOUBLEBUFFER,
                                          True,
                                          GLX_RED_SIZE,
                                          8,
                                          GLX_GREEN_SIZE,
                                          8,
                                          GLX_BLUE_SIZE,
                                          8,
                                          0};

constexpr size_t kMaxPending = 16;

// Mesa's driver, loaded by the first GLX call of a connection, keeps allocations for the life of
// the process and unloads itself, so no suppression can name it: sanitizer builds do not check
// what is allocated while the caller's thread chooses a visual.
struct UncheckedMesaScope {
    UncheckedMesaScope();
    ~UncheckedMesaScope();
};

UncheckedMesaScope::UncheckedMesaScope() {
#if defined(__SANITIZE_ADDRESS__)
    __lsan_disable();
#endif
}

UncheckedMesaScope::~UncheckedMesaScope() {
#if defined(__SANITIZE_ADDRESS__)
    __lsan_enable();
#endif
}

// The configurations fit for the window; XFree the result.
GLXFBConfig* framebufferConfigs(Display* display, int& count) {
    count = 0;
    return glXChooseFBConfig(display, DefaultScreen(display), kFramebufferAttributes, &count);
}

std::string glxUsable(Display* display) {
    int errorBase = 0, eventBase = 0, major = 0, minor = 0;
    if (!glXQueryExtension(display, &errorBase, &eventBase)) return "no GLX on the display";
    if (!glXQueryVersion(display, &major, &minor) || major * 10 + minor < 13)
        return "GLX " + std::to_string(major) + "." + std::to_string(minor) + " is below 1.3";
    return {};
}

// The configuration whose visual is `visual` (for the thread's own connection).
GLXFBConfig configForVisual(Display* display, VisualID visual) {
    int count = 0;
    GLXFBConfig* configs = framebufferConfigs(display, count);
    GLXFBConfig found = nullptr;
    for (int i = 0; i < count && !found; ++i) {
        int id = 0;
        glXGetFBConfigAttrib(display, configs[i], GLX_VISUAL_ID, &id);
        if (static_cast<VisualID>(id) == visual) found = configs[i];
    }
    if (configs) XFree(configs);
    return found;
}

using SwapIntervalExt = void (*)(Display*, GLXDrawable, int);
using SwapIntervalMesa = int (*)(unsigned);

// No waiting for the vertical blank: the thread paces itself.
void disableSwapWait(Display* display, GLXDrawable drawable) {
    const char* list = glXQueryExtensionsString(display, DefaultScreen(display));
    const std::string_view extensions = list ? list : "";
    // Entry points are looked up only for advertised extensions: the lookup itself never fails.
    auto lookup = [](const char* name) {
        return glXGetProcAddress(reinterpret_cast<const GLubyte*>(name));
    };
    if (hasExtension(extensions, "GLX_EXT_swap_control")) {
        reinterpret_cast<SwapIntervalExt>(lookup("glXSwapIntervalEXT"))(display, drawable, 0);
    } else if (hasExtension(extensions, "GLX_MESA_swap_control")) {
        reinterpret_cast<SwapIntervalMesa>(lookup("glXSwapIntervalMESA"))(0);
    }
}

std::string glString(GLenum name) {
    const GLubyte* s = glGetString(name);
    return s ? reinterpret_cast<const char*>(s) : "";
}

}  // namespace

std::string AcceleratedRenderer::chooseVisual(Display* display, XVisualInfo& out) {
    const UncheckedMesaScope unchecked;
    XErrorTrap trap(display);
    if (std::string why = glxUsable(display); !why.empty()) return why;
    int count = 0;
    GLXFBConfig* configs = framebufferConfigs(display, count);
    bool found = false;
    for (int i = 0; i < count && !found; ++i) {
        XVisualInfo* vi = glXGetVisualFromFBConfig(display, configs[i]);
        if (vi && vi->depth == 24 && vi->c_class == TrueColor) {
            out = *vi;
            found = true;
        }
        if (vi) XFree(vi);
    }
    if (configs) XFree(configs);
    if (trap.check() != 0) return "X error while choosing a GLX configuration";
    return found ? std::string() : "no suitable GLX configuration";
}

AcceleratedRenderer::AcceleratedRenderer(Config config) : config_(std::move(config)) {
    thread_ = std::thread([this] { run(); });
}

AcceleratedRenderer::~AcceleratedRenderer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

AcceleratedRenderer::State AcceleratedRenderer::waitForStart(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                   [this] { return state() != State::Starting; });
    return state();
}

std::string AcceleratedRenderer::failure() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

void AcceleratedRenderer::fail(std::string reason) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failure_ = std::move(reason);
        state_.store(State::Failed, std::memory_order_release);
    }
    wake_.notify_all();
}

void AcceleratedRenderer::run() {
#if defined(__SANITIZE_ADDRESS__)
    // Mesa's driver keeps a few allocations of this thread's context for the life of the process
    // and unloads itself, so no suppression can name it: this thread's allocations are not
    // checked for leaks.
    __lsan_disable();
#endif
    if (std::string why = setUp(); !why.empty()) {
        tearDown();
        fail(std::move(why));
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.store(State::Running, std::memory_order_release);
    }
    wake_.notify_all();
    loop();
    tearDown();
}

std::string AcceleratedRenderer::setUp() {
    display_ = XOpenDisplay(config_.displayName.c_str());
    if (!display_) return "cannot open the display";
    guard_.emplace(display_);
    if (std::string why = glxUsable(display_); !why.empty()) return why;
    GLXFBConfig config = configForVisual(display_, config_.visual);
    if (!config) return "no GLX configuration for the window";
    if (std::string why = makeContext(config); !why.empty()) return why;
    const std::string version = glString(GL_VERSION), renderer = glString(GL_RENDERER);
    const std::string vendor = glString(GL_VENDOR), extensions = glString(GL_EXTENSIONS);
    const std::string refusal =
        glRefusal({version, renderer, vendor, extensions}, config_.setting, config_.forced);
    if (!refusal.empty()) return refusal;
    disableSwapWait(display_, drawable_);
    glDisable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 1);
    return {};
}

std::string AcceleratedRenderer::makeContext(GLXFBConfig config) {
    XErrorTrap trap(display_);
    context_ = glXCreateNewContext(display_, config, GLX_RGBA_TYPE, nullptr, True);
    if (trap.check() != 0 || !context_) return "the OpenGL context could not be made";
    if (!glXIsDirect(display_, context_)) return "only indirect rendering";
    drawable_ = glXCreateWindow(display_, config, config_.window, nullptr);
    if (trap.check() != 0 || !drawable_) return "the window cannot take OpenGL drawing";
    if (!glXMakeContextCurrent(display_, drawable_, drawable_, context_) || trap.check() != 0)
        return "the OpenGL context could not be made current";
    return {};
}

void AcceleratedRenderer::tearDown() {
    if (!display_) return;
    {
        // The window may be gone already.
        XErrorTrap trap(display_);
        releaseContext();
    }
    XCloseDisplay(display_);
    guard_.reset();
    display_ = nullptr;
}

void AcceleratedRenderer::releaseContext() {
    if (context_ && glXGetCurrentContext() == context_) {
        bitmap_.release();
        glXMakeContextCurrent(display_, 0, 0, nullptr);
    }
    if (drawable_) glXDestroyWindow(display_, drawable_);
    if (context_) glXDestroyContext(display_, context_);
    context_ = nullptr;
    drawable_ = 0;
}

void AcceleratedRenderer::loop() {
    using Clock = std::chrono::steady_clock;
    const auto interval = std::chrono::microseconds(1000000 / config_.setting.framesPerSecond);
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        lock.unlock();
        const auto start = Clock::now();
        const bool ok = drawFrame();
        const auto spent = Clock::now() - start;
        if (!ok) {
            fail("OpenGL error while drawing");
            return;
        }
        const auto wait = std::clamp<Clock::duration>(
            interval - spent, std::chrono::milliseconds(5), std::chrono::milliseconds(100));
        lock.lock();
        wake_.wait_for(lock, wait, [this] { return stop_; });
    }
}

bool AcceleratedRenderer::drawFrame() {
    int32_t width = 0, height = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (pending_.empty()) return true;
        if (resized_ || !bitmap_.allocated()) bitmap_.allocate(width_, height_);
        resized_ = false;
        for (const Rect& r : pending_) bitmap_.upload(pixels_.data(), width_, r);
        pending_.clear();
        width = width_;
        height = height_;
    }
    // The back buffer is undefined after a swap: the whole window is drawn every time.
    glViewport(0, 0, width, height);
    glClear(GL_COLOR_BUFFER_BIT);
    bitmap_.draw();
    glXSwapBuffers(display_, drawable_);
    return glGetError() == GL_NO_ERROR;
}

void AcceleratedRenderer::submit(const uint8_t* pixels, int32_t stride, int32_t width,
                                 int32_t height, const std::vector<Rect>& rects) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (width != width_ || height != height_) {
        width_ = width;
        height_ = height;
        pixels_.assign(static_cast<size_t>(width) * height * 4, 0);
        resized_ = true;
        pending_.clear();
    }
    const Rect all{0, 0, width, height};
    for (const Rect& rect : rects) {
        const Rect r = rect.intersection(all);
        if (r.empty()) continue;
        for (int32_t y = r.y; y < r.bottom(); ++y)
            std::memcpy(&pixels_[(static_cast<size_t>(y) * width + r.x) * 4],
                        pixels + static_cast<size_t>(y) * stride + r.x * 4,
                        static_cast<size_t>(r.width) * 4);
        pending_.push_back(r);
    }
    if (pending_.size() > kMaxPending) {
        Rect u;
        for (const Rect& r : pending_) u = u.united(r);
        pending_.assign(1, u);
    }
}

}  // namespace gui::x11
