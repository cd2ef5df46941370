#pragma once

#include <vector>

#include "gui/SoftwareRenderer.h"
#include "gui/x11/Xlib.h"

namespace gui {
class RootControl;
}

namespace gui::x11 {

// The editor's window with the software back end: the tree is drawn with Cairo into an image and
// the changed rectangles are put into the window. The same class serves a top-level window and a
// child of a host's window (the parent is only where it is made), so there is no separate native
// variant. Owns the window and destroys it.
class X11Control {
public:
    // Makes an input-output window of `width` x `height` device pixels in `parent`, on `visual`'s
    // visual with its own colormap, or on the parent's when `visual` is null. Pass the result and
    // the colormap (0 when none) to the constructor.
    static Window createWindow(Display* display, Window parent, int width, int height,
                               const XVisualInfo* visual, Colormap& colormap);

    X11Control(Display* display, Window window, Colormap colormap);
    X11Control(const X11Control&) = delete;
    X11Control& operator=(const X11Control&) = delete;
    virtual ~X11Control();

    Window window() const { return window_; }
    // Draws the root's dirty region at `scale` and shows the changes.
    void draw(RootControl& root, float scale);
    virtual bool accelerated() const { return false; }
    // Lets a back end that broke fall back; called on every idle.
    virtual void checkHealth() {}
    // The window went with its parent: nothing is drawn into it any more.
    void windowDestroyed();

protected:
    virtual void stopDrawing() {}
    // Shows the given device rectangles of the picture.
    virtual void present(const std::vector<Rect>& rects);
    void presentSoftware(const std::vector<Rect>& rects);
    const SoftwareRenderer& picture() const { return renderer_; }
    Display* display() const { return display_; }

private:
    void putImage(const Rect& r);
    void paintWithCairo(const Rect& r);

    Display* display_;
    Window window_;
    Colormap colormap_;
    GC gc_ = nullptr;
    Visual* visual_ = nullptr;
    int depth_ = 0;
    // The visual takes Cairo's pixels as they are (32-bit little-endian xRGB).
    bool directImage_ = false;
    bool destroyed_ = false;
    SoftwareRenderer renderer_;
};

}  // namespace gui::x11
