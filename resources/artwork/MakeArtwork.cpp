// Draws the editor's artwork with Cairo into PNG files: the wordmark and the icons of the section
// families, white on transparent so that the editor tints them, at twice the size they are shown.
// Usage: vorn_make_artwork <output folder>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

namespace {

constexpr double kPi = 3.14159265358979;
constexpr int kIconSize = 32;  // shown at 16 logical pixels

using Draw = std::function<void(cairo_t*)>;

bool write(const std::string& folder, const char* name, int w, int h, const Draw& draw) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, 2.5);
    draw(cr);
    cairo_destroy(cr);
    const std::string path = folder + "/" + name + ".png";
    const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    if (!ok) std::fprintf(stderr, "vorn_make_artwork: cannot write %s\n", path.c_str());
    return ok;
}

// The wordmark: four letters of strokes, no font needed.
void logo(cairo_t* cr) {
    cairo_set_line_width(cr, 7);
    const double h = 36, y0 = 10, y1 = y0 + h;
    cairo_move_to(cr, 8, y0);  // V
    cairo_line_to(cr, 24, y1);
    cairo_line_to(cr, 40, y0);
    cairo_new_sub_path(cr);  // O
    cairo_arc(cr, 68, y0 + h / 2, h / 2, 0, 2 * kPi);
    cairo_move_to(cr, 100, y1);  // R
    cairo_line_to(cr, 100, y0);
    cairo_line_to(cr, 114, y0);
    cairo_arc(cr, 114, y0 + 10, 10, -kPi / 2, kPi / 2);
    cairo_line_to(cr, 100, y0 + 20);
    cairo_move_to(cr, 113, y0 + 20);
    cairo_line_to(cr, 128, y1);
    cairo_move_to(cr, 146, y1);  // N
    cairo_line_to(cr, 146, y0);
    cairo_line_to(cr, 174, y1);
    cairo_line_to(cr, 174, y0);
    cairo_stroke(cr);
}

void oscillatorIcon(cairo_t* cr) {
    cairo_move_to(cr, 3, 22);
    cairo_line_to(cr, 16, 8);
    cairo_line_to(cr, 16, 24);
    cairo_line_to(cr, 29, 10);
    cairo_stroke(cr);
}

void filterIcon(cairo_t* cr) {
    cairo_move_to(cr, 3, 12);
    cairo_line_to(cr, 14, 12);
    cairo_curve_to(cr, 18, 12, 19, 6, 21, 8);
    cairo_curve_to(cr, 24, 12, 25, 24, 29, 28);
    cairo_stroke(cr);
}

void envelopeIcon(cairo_t* cr) {
    cairo_move_to(cr, 3, 27);
    cairo_line_to(cr, 9, 5);
    cairo_line_to(cr, 15, 15);
    cairo_line_to(cr, 23, 15);
    cairo_line_to(cr, 29, 27);
    cairo_stroke(cr);
}

void xlfoIcon(cairo_t* cr) {
    const double steps[] = {18, 8, 14, 24, 11, 20};
    cairo_move_to(cr, 3, steps[0]);
    for (int i = 0; i < 6; ++i) {
        cairo_line_to(cr, 3 + i * 4.4, steps[i]);
        cairo_line_to(cr, 3 + (i + 1) * 4.4, steps[i]);
    }
    cairo_stroke(cr);
}

void delayIcon(cairo_t* cr) {
    for (int i = 0; i < 3; ++i) {
        cairo_set_source_rgba(cr, 1, 1, 1, 1.0 - i * 0.3);
        cairo_move_to(cr, 6 + i * 9, 27);
        cairo_line_to(cr, 6 + i * 9, 27 - 20 + i * 6);
        cairo_stroke(cr);
    }
}

void followerIcon(cairo_t* cr) {
    cairo_move_to(cr, 3, 16);
    for (int x = 3; x <= 29; ++x)
        cairo_line_to(cr, x, 16 + std::sin(x * 1.3) * (x < 16 ? x - 3 : 29 - x) * 0.8);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 1.5);
    cairo_move_to(cr, 3, 16);
    cairo_curve_to(cr, 10, 2, 22, 2, 29, 16);
    cairo_stroke(cr);
}

void midiIcon(cairo_t* cr) {
    cairo_arc(cr, 16, 16, 12, 0, 2 * kPi);
    cairo_stroke(cr);
    for (int i = 0; i < 5; ++i) {
        const double a = kPi + i * kPi / 4;
        cairo_arc(cr, 16 + 7 * std::cos(a), 16 - 7 * std::sin(a) * -1, 1.6, 0, 2 * kPi);
        cairo_fill(cr);
    }
}

void xyIcon(cairo_t* cr) {
    cairo_rectangle(cr, 4, 4, 24, 24);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 1.5);
    cairo_move_to(cr, 20, 4);
    cairo_line_to(cr, 20, 28);
    cairo_move_to(cr, 4, 12);
    cairo_line_to(cr, 28, 12);
    cairo_stroke(cr);
    cairo_arc(cr, 20, 12, 3.5, 0, 2 * kPi);
    cairo_fill(cr);
}

void masterIcon(cairo_t* cr) {
    const double heights[] = {8, 14, 20, 26};
    for (int i = 0; i < 4; ++i) {
        cairo_move_to(cr, 6 + i * 7, 28);
        cairo_line_to(cr, 6 + i * 7, 28 - heights[i]);
    }
    cairo_stroke(cr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vorn_make_artwork <output folder>\n");
        return 2;
    }
    const std::string out = argv[1];
    struct Icon {
        const char* name;
        void (*draw)(cairo_t*);
    } icons[] = {{"IconOscillators", oscillatorIcon},
                 {"IconFilters", filterIcon},
                 {"IconEnvelopes", envelopeIcon},
                 {"IconXlfos", xlfoIcon},
                 {"IconDelay", delayIcon},
                 {"IconFollowers", followerIcon},
                 {"IconMidiSources", midiIcon},
                 {"IconXyPads", xyIcon},
                 {"IconMaster", masterIcon}};
    bool ok = write(out, "Logo", 184, 56, logo);
    for (const Icon& i : icons) ok = write(out, i.name, kIconSize, kIconSize, i.draw) && ok;
    return ok ? 0 : 1;
}
