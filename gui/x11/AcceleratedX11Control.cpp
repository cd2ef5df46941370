#include "gui/x11/AcceleratedX11Control.h"

#include <cstdio>
#include <string>

namespace gui::x11 {

void reportGlFallback(std::string_view reason) {
    std::fprintf(stderr, "Vorn: OpenGL unavailable (%.*s); drawing with Cairo\n",
                 static_cast<int>(reason.size()), reason.data());
}

AcceleratedX11Control::AcceleratedX11Control(Display* display, Window window, Colormap colormap,
                                             AcceleratedRenderer::Config config)
    : X11Control(display, window, colormap) {
    config.window = window;
    renderer_ = std::make_unique<AcceleratedRenderer>(std::move(config));
    // The verdict comes quickly; waiting for it lets the caller know which back end draws.
    renderer_->waitForStart(kStartTimeoutMs);
    checkHealth();
}

// The thread stops before the window it draws into goes.
AcceleratedX11Control::~AcceleratedX11Control() {
    renderer_.reset();
}

void AcceleratedX11Control::checkHealth() {
    if (renderer_ && renderer_->state() == AcceleratedRenderer::State::Failed) fallBack();
}

void AcceleratedX11Control::fallBack() {
    reportGlFallback(renderer_->failure());
    renderer_.reset();
    const SoftwareRenderer& p = picture();
    if (p.surface()) presentSoftware({Rect{0, 0, p.deviceWidth(), p.deviceHeight()}});
}

void AcceleratedX11Control::present(const std::vector<Rect>& rects) {
    checkHealth();
    if (!renderer_) {
        presentSoftware(rects);
        return;
    }
    cairo_surface_t* s = picture().surface();
    renderer_->submit(cairo_image_surface_get_data(s), cairo_image_surface_get_stride(s),
                      picture().deviceWidth(), picture().deviceHeight(), rects);
}

}  // namespace gui::x11
