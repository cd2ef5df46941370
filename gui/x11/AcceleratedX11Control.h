#pragma once

#include <memory>
#include <string_view>

#include "gui/x11/AcceleratedRenderer.h"
#include "gui/x11/X11Control.h"

namespace gui::x11 {

// Says once on stderr that the window draws with Cairo instead of OpenGL, and why.
void reportGlFallback(std::string_view reason);

// The window with the OpenGL back end: Cairo still draws the tree, the render thread shows it.
// When the thread fails, at start or later, the window goes on with the software back end.
class AcceleratedX11Control : public X11Control {
public:
    static constexpr int kStartTimeoutMs = 5000;

    AcceleratedX11Control(Display* display, Window window, Colormap colormap,
                          AcceleratedRenderer::Config config);
    ~AcceleratedX11Control() override;

    bool accelerated() const override { return renderer_ != nullptr; }
    void checkHealth() override;

protected:
    void stopDrawing() override { renderer_.reset(); }
    void present(const std::vector<Rect>& rects) override;

private:
    void fallBack();

    std::unique_ptr<AcceleratedRenderer> renderer_;
};

}  // namespace gui::x11
