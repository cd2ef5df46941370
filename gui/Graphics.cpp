#include "gui/Graphics.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <mutex>
#include <stdexcept>
#include <string>

#include "persistence/ResourceOpener.h"

namespace gui {
namespace {

constexpr const char* kFontResource = "DejaVuSans";

struct Faces {
    FT_Library library = nullptr;
    FT_Face ftFaces[2] = {nullptr, nullptr};
    cairo_font_face_t* faces[2] = {nullptr, nullptr};
};

// Loaded once and kept: Cairo caches glyphs per face for the life of the process.
Faces& faces() {
    static Faces f = [] {
        Faces out;
        const auto bytes = openResource(kFontResource);
        if (FT_Init_FreeType(&out.library) != 0) throw std::runtime_error("FreeType failed");
        for (int bold = 0; bold < 2; ++bold) {
            if (FT_New_Memory_Face(out.library, bytes.data(), static_cast<FT_Long>(bytes.size()), 0,
                                   &out.ftFaces[bold]) != 0)
                throw std::runtime_error("The toolkit's font could not be read");
            out.faces[bold] = cairo_ft_font_face_create_for_ft_face(out.ftFaces[bold], 0);
            if (bold) cairo_ft_font_face_set_synthesize(out.faces[bold], CAIRO_FT_SYNTHESIZE_BOLD);
        }
        return out;
    }();
    return f;
}

}  // namespace

cairo_font_face_t* toolkitFontFace(bool bold) {
    return faces().faces[bold ? 1 : 0];
}

Colour Colour::brighter(float amount) const {
    const float t = std::clamp(std::abs(amount), 0.0f, 1.0f);
    const float to = amount > 0 ? 1.0f : 0.0f;
    return {r + (to - r) * t, g + (to - g) * t, b + (to - b) * t, a};
}

Graphics::Graphics(cairo_t* cr) : cr_(cr) {
    // Fixed text rendering: no hinting, grey anti-aliasing, whatever the desktop says.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr_, options);
    cairo_font_options_destroy(options);
}

void Graphics::clip(const Rect& r) {
    cairo_rectangle(cr_, r.x, r.y, r.width, r.height);
    cairo_clip(cr_);
}

Rect Graphics::clipBounds() const {
    double x0, y0, x1, y1;
    cairo_clip_extents(cr_, &x0, &y0, &x1, &y1);
    const auto l = static_cast<int32_t>(std::floor(x0)), t = static_cast<int32_t>(std::floor(y0));
    return {l, t, static_cast<int32_t>(std::ceil(x1)) - l, static_cast<int32_t>(std::ceil(y1)) - t};
}

void Graphics::pushOpacity() {
    cairo_push_group(cr_);
}

void Graphics::popOpacity(float opacity) {
    cairo_pop_group_to_source(cr_);
    cairo_paint_with_alpha(cr_, std::clamp(opacity, 0.0f, 1.0f));
}

void Graphics::fillRect(const Rect& r, Colour c) {
    setColour(c);
    cairo_rectangle(cr_, r.x, r.y, r.width, r.height);
    cairo_fill(cr_);
}

void Graphics::roundedPath(const Rect& r, float radius) {
    const double x = r.x, y = r.y, w = r.width, h = r.height;
    const double rad = std::min<double>(radius, std::min(w, h) / 2);
    cairo_new_sub_path(cr_);
    cairo_arc(cr_, x + w - rad, y + rad, rad, -M_PI / 2, 0);
    cairo_arc(cr_, x + w - rad, y + h - rad, rad, 0, M_PI / 2);
    cairo_arc(cr_, x + rad, y + h - rad, rad, M_PI / 2, M_PI);
    cairo_arc(cr_, x + rad, y + rad, rad, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr_);
}

void Graphics::fillRoundedRect(const Rect& r, float radius, Colour c) {
    roundedPath(r, radius);
    setColour(c);
    cairo_fill(cr_);
}

void Graphics::strokeRoundedRect(const Rect& r, float radius, float width, Colour c) {
    // Half a pixel in, so one-pixel lines land on whole pixels.
    const double half = width / 2;
    cairo_save(cr_);
    cairo_translate(cr_, half, half);
    roundedPath(
        {r.x, r.y, static_cast<int32_t>(r.width - width), static_cast<int32_t>(r.height - width)},
        radius);
    cairo_restore(cr_);
    setColour(c);
    cairo_set_line_width(cr_, width);
    cairo_stroke(cr_);
}

void Graphics::line(float x0, float y0, float x1, float y1, float width, Colour c) {
    setColour(c);
    cairo_set_line_width(cr_, width);
    cairo_move_to(cr_, x0, y0);
    cairo_line_to(cr_, x1, y1);
    cairo_stroke(cr_);
}

void Graphics::fillEllipse(float cx, float cy, float radius, Colour c) {
    setColour(c);
    cairo_new_sub_path(cr_);
    cairo_arc(cr_, cx, cy, radius, 0, 2 * M_PI);
    cairo_fill(cr_);
}

void Graphics::arc(float cx, float cy, float radius, float a0, float a1, float width, Colour c) {
    if (a1 <= a0) return;
    setColour(c);
    cairo_set_line_width(cr_, width);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
    cairo_new_sub_path(cr_);
    cairo_arc(cr_, cx, cy, radius, a0, a1);
    cairo_stroke(cr_);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
}

void Graphics::polyline(std::span<const float> xy, float width, Colour stroke, Colour fill,
                        float baseline) {
    if (xy.size() < 4) return;
    cairo_new_path(cr_);
    cairo_move_to(cr_, xy[0], xy[1]);
    for (size_t i = 2; i + 1 < xy.size(); i += 2) cairo_line_to(cr_, xy[i], xy[i + 1]);
    if (fill.a > 0) {
        cairo_path_t* path = cairo_copy_path(cr_);
        cairo_line_to(cr_, xy[xy.size() - 2], baseline);
        cairo_line_to(cr_, xy[0], baseline);
        cairo_close_path(cr_);
        setColour(fill);
        cairo_fill(cr_);
        cairo_append_path(cr_, path);
        cairo_path_destroy(path);
    }
    setColour(stroke);
    cairo_set_line_width(cr_, width);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr_);
}

void Graphics::selectFont(const Font& f) {
    cairo_set_font_face(cr_, toolkitFontFace(f.bold));
    cairo_set_font_size(cr_, f.size);
}

float Graphics::textWidth(std::string_view utf8, const Font& f) {
    selectFont(f);
    const std::string s(utf8);
    cairo_text_extents_t ext;
    cairo_text_extents(cr_, s.c_str(), &ext);
    return static_cast<float>(ext.x_advance);
}

void Graphics::text(std::string_view utf8, const Rect& r, const Font& f, Colour c, Align align) {
    if (utf8.empty()) return;
    selectFont(f);
    const std::string s(utf8);
    cairo_text_extents_t ext;
    cairo_text_extents(cr_, s.c_str(), &ext);
    cairo_font_extents_t fe;
    cairo_font_extents(cr_, &fe);
    double x = r.x;
    if (align == Align::Centre) x = r.x + (r.width - ext.x_advance) / 2;
    if (align == Align::Right) x = r.right() - ext.x_advance;
    // Centred on the cap height rather than the full extents, which looks centred to the eye.
    const double y = r.y + (r.height + fe.ascent - fe.descent) / 2;
    setColour(c);
    cairo_move_to(cr_, std::round(x), std::round(y));
    cairo_show_text(cr_, s.c_str());
}

void Graphics::image(cairo_surface_t* surface, int32_t x, int32_t y, float opacity) {
    cairo_set_source_surface(cr_, surface, x, y);
    cairo_paint_with_alpha(cr_, opacity);
}

void Graphics::mask(cairo_surface_t* surface, const Rect& r, Colour c) {
    const int w = cairo_image_surface_get_width(surface),
              h = cairo_image_surface_get_height(surface);
    if (w <= 0 || h <= 0) return;
    cairo_save(cr_);
    cairo_translate(cr_, r.x, r.y);
    cairo_scale(cr_, static_cast<double>(r.width) / w, static_cast<double>(r.height) / h);
    setColour(c);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
    cairo_mask(cr_, pattern);
    cairo_pattern_destroy(pattern);
    cairo_restore(cr_);
}

}  // namespace gui
