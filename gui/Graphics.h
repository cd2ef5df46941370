#pragma once

#include <cairo.h>

#include <cstdint>
#include <span>
#include <string_view>

#include "gui/Geometry.h"

namespace gui {

struct Colour {
    float r = 0, g = 0, b = 0, a = 1;

    static constexpr Colour rgb(uint32_t hex, float alpha = 1.0f) {
        return {((hex >> 16) & 255) / 255.0f, ((hex >> 8) & 255) / 255.0f, (hex & 255) / 255.0f,
                alpha};
    }
    Colour withAlpha(float alpha) const { return {r, g, b, a * alpha}; }
    // Towards white for amount > 0, towards black below.
    Colour brighter(float amount) const;
};

struct Font {
    float size = 11.0f;  // pixels
    bool bold = false;
};

enum class Align { Left, Centre, Right };

// Drawing for components, over Cairo. Units are logical pixels; the device scale (HiDPI) is applied
// underneath. Text uses the DejaVu Sans face compiled into the binary, loaded through FreeType
// with fixed rendering options, so that pictures are the same on every machine.
class Graphics {
public:
    explicit Graphics(cairo_t* cr);

    cairo_t* context() const { return cr_; }

    void save() { cairo_save(cr_); }
    void restore() { cairo_restore(cr_); }
    void translate(int32_t dx, int32_t dy) { cairo_translate(cr_, dx, dy); }
    void clip(const Rect& r);
    // The clip in current coordinates; drawing outside it may be skipped.
    Rect clipBounds() const;
    // Multiplies the alpha of everything drawn until popOpacity (fading controls).
    void pushOpacity();
    void popOpacity(float opacity);

    void fillRect(const Rect& r, Colour c);
    void fillRoundedRect(const Rect& r, float radius, Colour c);
    void strokeRoundedRect(const Rect& r, float radius, float width, Colour c);
    void line(float x0, float y0, float x1, float y1, float width, Colour c);
    void fillEllipse(float cx, float cy, float radius, Colour c);
    // An arc from angle a0 to a1 (radians, clockwise from the positive x axis).
    void arc(float cx, float cy, float radius, float a0, float a1, float width, Colour c);
    // A polyline through points (x0, y0, x1, y1, ...); closed and filled down to `baseline` when
    // fill.a > 0.
    void polyline(std::span<const float> xy, float width, Colour stroke, Colour fill = {0, 0, 0, 0},
                  float baseline = 0);

    void text(std::string_view utf8, const Rect& r, const Font& f, Colour c,
              Align align = Align::Centre);
    float textWidth(std::string_view utf8, const Font& f);

    void image(cairo_surface_t* surface, int32_t x, int32_t y, float opacity = 1.0f);
    // A picture scaled into a rectangle and used as a stencil for a colour (tinted icons).
    void mask(cairo_surface_t* surface, const Rect& r, Colour c);

private:
    void setColour(Colour c) { cairo_set_source_rgba(cr_, c.r, c.g, c.b, c.a); }
    void selectFont(const Font& f);
    void roundedPath(const Rect& r, float radius);

    cairo_t* cr_;
};

// A Cairo font face for the toolkit's text (regular or bold), alive for the whole process.
cairo_font_face_t* toolkitFontFace(bool bold);

}  // namespace gui
