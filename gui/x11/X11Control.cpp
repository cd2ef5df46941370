#include "gui/x11/X11Control.h"

#include <cairo-xlib.h>

#include "gui/RootControl.h"
#include "gui/x11/XErrorTrap.h"

namespace gui::x11 {
namespace {

constexpr long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            EnterWindowMask | LeaveWindowMask | KeyPressMask | StructureNotifyMask;

bool takesCairoPixels(const Visual* v, int depth) {
    return v->c_class == TrueColor && v->red_mask == 0xff0000 && v->green_mask == 0xff00 &&
           v->blue_mask == 0xff && (depth == 24 || depth == 32);
}

}  // namespace

Window X11Control::createWindow(Display* display, Window parent, int width, int height,
                                const XVisualInfo* visual, Colormap& colormap) {
    XSetWindowAttributes a{};
    unsigned long mask = CWEventMask | CWBackPixmap | CWBorderPixel;
    a.event_mask = kEventMask;
    // Not cleared by the server: every exposed part is drawn again, so nothing flickers.
    a.background_pixmap = kNone;
    a.border_pixel = 0;
    colormap = 0;
    Visual* v = CopyFromParent;
    int depth = CopyFromParent;
    if (visual) {
        colormap = XCreateColormap(display, parent, visual->visual, AllocNone);
        a.colormap = colormap;
        mask |= CWColormap;
        v = visual->visual;
        depth = visual->depth;
    }
    return XCreateWindow(display, parent, 0, 0, static_cast<unsigned>(width),
                         static_cast<unsigned>(height), 0, depth, InputOutput, v, mask, &a);
}

X11Control::X11Control(Display* display, Window window, Colormap colormap)
    : display_(display), window_(window), colormap_(colormap) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display_, window_, &attributes);
    visual_ = attributes.visual;
    depth_ = attributes.depth;
    directImage_ = takesCairoPixels(visual_, depth_);
    gc_ = XCreateGC(display_, window_, 0, nullptr);
}

X11Control::~X11Control() {
    XFreeGC(display_, gc_);
    // A host may destroy its window, and ours with it, before it closes the editor.
    XErrorTrap trap(display_);
    if (!destroyed_) XDestroyWindow(display_, window_);
    if (colormap_) XFreeColormap(display_, colormap_);
}

void X11Control::windowDestroyed() {
    destroyed_ = true;
    stopDrawing();
}

void X11Control::draw(RootControl& root, float scale) {
    if (destroyed_) return;
    renderer_.setSize(root.bounds().width, root.bounds().height, scale);
    const std::vector<Rect> changed = renderer_.render(root);
    if (!changed.empty()) present(changed);
}

void X11Control::present(const std::vector<Rect>& rects) {
    presentSoftware(rects);
}

void X11Control::presentSoftware(const std::vector<Rect>& rects) {
    for (const Rect& r : rects) {
        if (r.empty()) continue;
        if (directImage_)
            putImage(r);
        else
            paintWithCairo(r);
    }
}

void X11Control::putImage(const Rect& r) {
    cairo_surface_t* s = renderer_.surface();
    XImage image{};
    image.width = renderer_.deviceWidth();
    image.height = renderer_.deviceHeight();
    image.format = ZPixmap;
    image.data = reinterpret_cast<char*>(cairo_image_surface_get_data(s));
    image.byte_order = LSBFirst;
    image.bitmap_unit = 32;
    image.bitmap_bit_order = LSBFirst;
    image.bitmap_pad = 32;
    image.depth = depth_;
    image.bytes_per_line = cairo_image_surface_get_stride(s);
    image.bits_per_pixel = 32;
    image.red_mask = 0xff0000;
    image.green_mask = 0xff00;
    image.blue_mask = 0xff;
    XInitImage(&image);
    XPutImage(display_, window_, gc_, &image, r.x, r.y, r.x, r.y, static_cast<unsigned>(r.width),
              static_cast<unsigned>(r.height));
}

void X11Control::paintWithCairo(const Rect& r) {
    // Any other visual: Cairo converts.
    cairo_surface_t* target = cairo_xlib_surface_create(
        display_, window_, visual_, renderer_.deviceWidth(), renderer_.deviceHeight());
    cairo_t* cr = cairo_create(target);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, renderer_.surface(), 0, 0);
    cairo_rectangle(cr, r.x, r.y, r.width, r.height);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(target);
    cairo_surface_destroy(target);
}

}  // namespace gui::x11
