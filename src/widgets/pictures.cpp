#include "widgets/pictures.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <utility>
#include <cmath>

namespace tq {
namespace {

// ---------------------------------------------------------------------------
// Palette and small drawing helpers. Everything is drawn at its final pixel
// size with anti-aliasing; coordinates are in pixels of the picture.

struct Rgb {
    double r, g, b;
};

constexpr Rgb rgb(unsigned v)
{
    return {((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0};
}

Rgb mix(Rgb a, Rgb b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

const Rgb kWhite = rgb(0xFFFFFF);
const Rgb kInk = rgb(0x2B2F33);      // device bodies, outlines
const Rgb kSteel = rgb(0x59616A);    // lighter body parts
const Rgb kScreen = rgb(0xBFD9EE);   // phone screens
const Rgb kGrey = rgb(0x8E949A);
const Rgb kRed = rgb(0xD9302C);
const Rgb kGreen = rgb(0x2EA043);
const Rgb kBlue = rgb(0x2470C8);
const Rgb kAmber = rgb(0xE8A317);
const Rgb kAndroid = rgb(0x78C257);

void set(cairo_t* cr, Rgb c, double alpha = 1.0)
{
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void rounded_rect(cairo_t* cr, double x, double y, double w, double h, double r)
{
    r = std::min(r, std::min(w, h) / 2);
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

// A whole circle, added to the current path.
void circle(cairo_t* cr, double cx, double cy, double r)
{
    cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
}

struct Point {
    double x, y;
};

// Fills the polygon through the given corners.
void fill_polygon(cairo_t* cr, std::initializer_list<Point> corners)
{
    for (const Point& p : corners) {
        if (&p == corners.begin())
            cairo_move_to(cr, p.x, p.y);
        else
            cairo_line_to(cr, p.x, p.y);
    }
    cairo_close_path(cr);
    cairo_fill(cr);
}

// Fills the current path with a top-to-bottom gradient around base.
void fill_shaded(cairo_t* cr, Rgb base, double y0, double y1, bool preserve = false)
{
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
    const Rgb top = mix(base, kWhite, 0.35);
    const Rgb bottom = mix(base, rgb(0x000000), 0.18);
    cairo_pattern_add_color_stop_rgb(p, 0, top.r, top.g, top.b);
    cairo_pattern_add_color_stop_rgb(p, 1, bottom.r, bottom.g, bottom.b);
    cairo_set_source(cr, p);
    if (preserve)
        cairo_fill_preserve(cr);
    else
        cairo_fill(cr);
    cairo_pattern_destroy(p);
}

void stroke_with(cairo_t* cr, Rgb c, double width, bool preserve = false)
{
    set(cr, c);
    cairo_set_line_width(cr, width);
    if (preserve)
        cairo_stroke_preserve(cr);
    else
        cairo_stroke(cr);
}

// A glossy ball: the state circles and the small indicator lamps.
void ball(cairo_t* cr, double cx, double cy, double r, Rgb base)
{
    cairo_pattern_t* p = cairo_pattern_create_radial(cx - r * 0.35, cy - r * 0.45, r * 0.1, cx, cy, r);
    const Rgb light = mix(base, kWhite, 0.55);
    const Rgb dark = mix(base, rgb(0x000000), 0.12);
    cairo_pattern_add_color_stop_rgb(p, 0, light.r, light.g, light.b);
    cairo_pattern_add_color_stop_rgb(p, 0.75, base.r, base.g, base.b);
    cairo_pattern_add_color_stop_rgb(p, 1, dark.r, dark.g, dark.b);
    circle(cr, cx, cy, r);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    stroke_with(cr, mix(base, rgb(0x000000), 0.35), 1.0);
}

// ---------------------------------------------------------------------------
// State circles, 33 x 33.

void draw_circle(cairo_t* cr, Picture p)
{
    const Rgb c = p == Picture::CircleGrey ? rgb(0xA3A8AD) : p == Picture::CircleRed ? kRed : kGreen;
    ball(cr, 16.5, 16.5, 12.5, c);

    if (p == Picture::CircleGreenPlus || p == Picture::CircleGreenMinus) {
        set(cr, kWhite);
        cairo_set_line_width(cr, 3.2);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_move_to(cr, 10.5, 16.5);
        cairo_line_to(cr, 22.5, 16.5);
        if (p == Picture::CircleGreenPlus) {
            cairo_move_to(cr, 16.5, 10.5);
            cairo_line_to(cr, 16.5, 22.5);
        }
        cairo_stroke(cr);
    }
}

// ---------------------------------------------------------------------------
// Device kinds, 46 x 34.

// A phone body with its screen; returns the screen's rectangle.
void phone_body(cairo_t* cr, double corner, double* sx, double* sy, double* sw, double* sh)
{
    const double x = 13.5, y = 1.5, w = 19, h = 31;
    rounded_rect(cr, x, y, w, h, corner);
    fill_shaded(cr, kInk, y, y + h, true);
    stroke_with(cr, rgb(0x15181B), 1.0);
    *sx = x + 2;
    *sy = y + 4;
    *sw = w - 4;
    *sh = h - 9;
    rounded_rect(cr, *sx, *sy, *sw, *sh, 1);
    fill_shaded(cr, kScreen, *sy, *sy + *sh);
}

void draw_phone_android(cairo_t* cr)
{
    double sx, sy, sw, sh;
    phone_body(cr, 2.5, &sx, &sy, &sw, &sh);
    // Speaker slit and the three soft keys below the screen.
    set(cr, kSteel);
    rounded_rect(cr, 20.5, 3, 5, 1.2, 0.6);
    cairo_fill(cr);
    for (int i = 0; i < 3; ++i) {
        cairo_rectangle(cr, 17 + i * 5, 28.6, 2.5, 1.2);
        cairo_fill(cr);
    }
    // The robot: head dome with antennae, body with arms.
    const double cx = sx + sw / 2;
    set(cr, kAndroid);
    cairo_arc(cr, cx, 13.2, 4.2, M_PI, 2 * M_PI);
    cairo_close_path(cr);
    cairo_fill(cr);
    cairo_set_line_width(cr, 0.9);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, cx - 2.4, 10.0);
    cairo_line_to(cr, cx - 3.4, 8.3);
    cairo_move_to(cr, cx + 2.4, 10.0);
    cairo_line_to(cr, cx + 3.4, 8.3);
    cairo_stroke(cr);
    rounded_rect(cr, cx - 4.2, 13.9, 8.4, 6.6, 1.4);
    cairo_fill(cr);
    rounded_rect(cr, cx - 6.2, 14.2, 1.5, 4.6, 0.75);
    cairo_fill(cr);
    rounded_rect(cr, cx + 4.7, 14.2, 1.5, 4.6, 0.75);
    cairo_fill(cr);
    rounded_rect(cr, cx - 2.7, 19.5, 1.6, 3.4, 0.8);
    cairo_fill(cr);
    rounded_rect(cr, cx + 1.1, 19.5, 1.6, 3.4, 0.8);
    cairo_fill(cr);
    set(cr, kWhite);
    circle(cr, cx - 1.6, 11.6, 0.6);
    cairo_fill(cr);
    circle(cr, cx + 1.6, 11.6, 0.6);
    cairo_fill(cr);
}

void draw_phone_apple(cairo_t* cr)
{
    double sx, sy, sw, sh;
    phone_body(cr, 4, &sx, &sy, &sw, &sh);
    // Home button.
    circle(cr, 23, 29.2, 1.4);
    stroke_with(cr, kSteel, 0.9);
    // The fruit: two lobes with a bite on the right and a leaf on top.
    const double cx = sx + sw / 2, cy = 17.2;
    cairo_save(cr);
    cairo_new_path(cr);
    circle(cr, cx - 1.9, cy, 3.3);
    cairo_new_sub_path(cr);
    circle(cr, cx + 1.9, cy, 3.3);
    cairo_new_sub_path(cr);
    circle(cr, cx, cy + 1.4, 3.2);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_clip(cr);
    // The bite.
    cairo_rectangle(cr, 0, 0, 46, 34);
    cairo_new_sub_path(cr);
    cairo_arc_negative(cr, cx + 5.3, cy - 0.2, 1.8, 2 * M_PI, 0);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    set(cr, rgb(0x5C6670));
    cairo_fill(cr);
    cairo_restore(cr);
    set(cr, rgb(0x5C6670));
    cairo_move_to(cr, cx, cy - 3.4);
    cairo_curve_to(cr, cx - 0.2, cy - 5.6, cx + 1.4, cy - 7.2, cx + 2.8, cy - 7.2);
    cairo_curve_to(cr, cx + 2.8, cy - 5.2, cx + 1.4, cy - 3.6, cx, cy - 3.4);
    cairo_fill(cr);
}

void draw_unknown_device(cairo_t* cr)
{
    // A question mark drawn as a stroke, so that it never depends on fonts.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_move_to(cr, 16.5, 10.5);
    cairo_curve_to(cr, 16.5, 4.5, 29.5, 3.5, 29.5, 10.0);
    cairo_curve_to(cr, 29.5, 14.5, 23.0, 15.0, 23.0, 20.5);
    // Shadow first, then the mark.
    cairo_save(cr);
    cairo_translate(cr, 0.8, 0.9);
    cairo_path_t* path = cairo_copy_path(cr);
    cairo_new_path(cr);
    cairo_append_path(cr, path);
    set(cr, rgb(0x000000), 0.18);
    cairo_set_line_width(cr, 4.6);
    cairo_stroke(cr);
    circle(cr, 23.0, 27.5, 2.6);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_new_path(cr);
    cairo_append_path(cr, path);
    cairo_path_destroy(path);
    set(cr, kRed);
    cairo_set_line_width(cr, 4.6);
    cairo_stroke(cr);
    circle(cr, 23.0, 27.5, 2.6);
    cairo_fill(cr);
}

void draw_card_qr(cairo_t* cr)
{
    // A white card with a QR code on its left and printed lines on its right.
    rounded_rect(cr, 2.5, 4.5, 41, 25, 2.5);
    fill_shaded(cr, rgb(0xF4F6F8), 4.5, 29.5, true);
    stroke_with(cr, rgb(0x7D858D), 1.0);
    const double x0 = 6, y0 = 8, m = 1.5; // 12 x 12 modules of 1.5 px
    static const char* const qr[12] = {
        "1111101011111", "1000101010001", "1011101110101", "1000100010001", "1111101011111",
        "0000011100000", "1101100110101", "0010011001100", "1111100101011", "1000101110001",
        "1011100011101", "1000101001001",
    };
    set(cr, kInk);
    for (int row = 0; row < 12; ++row)
        for (int col = 0; col < 12; ++col)
            if (qr[row][col] == '1')
                cairo_rectangle(cr, x0 + col * m, y0 + row * m, m, m);
    cairo_fill(cr);
    // Finder patterns drawn clean over the modules.
    for (auto [fx, fy] : {std::pair{0, 0}, std::pair{8, 0}, std::pair{0, 8}}) {
        if (fx == 8)
            fx = 7;
        const double px = x0 + fx * m, py = y0 + fy * m;
        set(cr, rgb(0xF4F6F8));
        cairo_rectangle(cr, px, py, 5 * m, 5 * m);
        cairo_fill(cr);
        set(cr, kInk);
        cairo_rectangle(cr, px + 0.5, py + 0.5, 5 * m - 1, 5 * m - 1);
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
        cairo_rectangle(cr, px + 1.5 * 1.0 + 0.25, py + 1.75, 5 * m - 3.5, 5 * m - 3.5);
        cairo_fill(cr);
    }
    set(cr, kBlue);
    rounded_rect(cr, 26, 9, 14, 3, 1);
    cairo_fill(cr);
    set(cr, rgb(0xA7AFB7));
    for (int i = 0; i < 3; ++i) {
        rounded_rect(cr, 26, 15.5 + i * 4, i == 2 ? 8 : 14, 1.6, 0.8);
        cairo_fill(cr);
    }
}

// A five-pointed star centred at (cx, cy).
void star_path(cairo_t* cr, double cx, double cy, double outer, double inner)
{
    for (int i = 0; i < 10; ++i) {
        const double a = -M_PI / 2 + i * M_PI / 5;
        const double r = i % 2 ? inner : outer;
        if (i == 0)
            cairo_move_to(cr, cx + r * std::cos(a), cy + r * std::sin(a));
        else
            cairo_line_to(cr, cx + r * std::cos(a), cy + r * std::sin(a));
    }
    cairo_close_path(cr);
}

void draw_fob_emblem(cairo_t* cr)
{
    // A rounded tag with its key ring, the emblem in the middle.
    circle(cr, 9.5, 17, 5.5);
    stroke_with(cr, rgb(0x9AA3AC), 1.8);
    cairo_move_to(cr, 14, 10);
    cairo_curve_to(cr, 22, 2.5, 42, 4, 43, 17);
    cairo_curve_to(cr, 42, 30, 22, 31.5, 14, 24);
    cairo_curve_to(cr, 11.5, 21.5, 11.5, 12.5, 14, 10);
    cairo_close_path(cr);
    fill_shaded(cr, kInk, 4, 30, true);
    stroke_with(cr, rgb(0x15181B), 1.0);
    // Ring hole.
    circle(cr, 16.2, 17, 1.7);
    set(cr, rgb(0x15181B));
    cairo_fill(cr);
    // Emblem: a silver disc with a star.
    circle(cr, 29, 17, 7.2);
    fill_shaded(cr, rgb(0xC9CED3), 10, 24, true);
    stroke_with(cr, rgb(0x6E767E), 0.8);
    star_path(cr, 29, 17.4, 5.2, 2.1);
    set(cr, kBlue);
    cairo_fill(cr);
}

void draw_remote_four_button(cairo_t* cr)
{
    // An upright remote: LED at the top, four round buttons below.
    rounded_rect(cr, 13.5, 1.5, 19, 31, 7);
    fill_shaded(cr, kInk, 1.5, 32.5, true);
    stroke_with(cr, rgb(0x15181B), 1.0);
    ball(cr, 23, 6.2, 1.5, kRed);
    const Rgb key = rgb(0xB9C0C7);
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 2; ++col) {
            const double cx = 18.8 + col * 8.4, cy = 14.0 + row * 8.6;
            circle(cr, cx, cy, 3.2);
            fill_shaded(cr, key, cy - 3.2, cy + 3.2, true);
            stroke_with(cr, rgb(0x15181B), 0.7);
        }
    // Tiny glyphs on the keys: open, closed, trunk, star.
    set(cr, kInk);
    cairo_set_line_width(cr, 0.8);
    cairo_arc(cr, 18.8, 13.2, 1.0, M_PI, 2 * M_PI);
    cairo_stroke(cr);
    cairo_rectangle(cr, 17.6, 13.5, 2.4, 1.8);
    cairo_fill(cr);
    cairo_arc(cr, 27.2, 13.2, 1.0, M_PI, 2 * M_PI);
    cairo_line_to(cr, 28.2, 13.8);
    cairo_move_to(cr, 26.2, 13.2);
    cairo_line_to(cr, 26.2, 13.8);
    cairo_stroke(cr);
    cairo_rectangle(cr, 26.0, 13.5, 2.4, 1.8);
    cairo_fill(cr);
    cairo_rectangle(cr, 17.3, 22.0, 3.0, 1.4);
    cairo_fill(cr);
    star_path(cr, 27.2, 22.8, 1.9, 0.8);
    cairo_fill(cr);
}

void draw_siren_box(cairo_t* cr)
{
    // A wall siren: a box with a round horn grille, sound waves beside it.
    rounded_rect(cr, 4.5, 4.5, 25, 25, 3);
    fill_shaded(cr, kInk, 4.5, 29.5, true);
    stroke_with(cr, rgb(0x15181B), 1.0);
    circle(cr, 17, 17, 8.5);
    fill_shaded(cr, kSteel, 8.5, 25.5);
    set(cr, rgb(0x1E2226));
    for (int i = -3; i <= 3; ++i) {
        const double y = 17 + i * 2.2;
        const double half = std::sqrt(std::max(0.0, 7.2 * 7.2 - (y - 17) * (y - 17)));
        rounded_rect(cr, 17 - half, y - 0.55, 2 * half, 1.1, 0.55);
        cairo_fill(cr);
    }
    ball(cr, 8.2, 8.2, 1.4, kRed);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i < 3; ++i) {
        cairo_arc(cr, 27, 17, 6.0 + i * 4.5, -0.55, 0.55);
        stroke_with(cr, kRed, 1.6);
    }
}

void draw_lugged_device(cairo_t* cr)
{
    // A round module with two mounting lugs and their screw holes.
    cairo_move_to(cr, 23, 9);
    cairo_line_to(cr, 6, 12);
    cairo_arc_negative(cr, 6, 17, 5, 3 * M_PI / 2, M_PI / 2);
    cairo_line_to(cr, 23, 25);
    cairo_line_to(cr, 40, 22);
    cairo_arc_negative(cr, 40, 17, 5, M_PI / 2, -M_PI / 2);
    cairo_close_path(cr);
    fill_shaded(cr, kSteel, 9, 25, true);
    stroke_with(cr, rgb(0x1E2226), 1.0);
    for (double x : {6.0, 40.0}) {
        circle(cr, x, 17, 1.8);
        set(cr, rgb(0x1E2226));
        cairo_fill(cr);
    }
    circle(cr, 23, 17, 13);
    fill_shaded(cr, kInk, 4, 30, true);
    stroke_with(cr, rgb(0x15181B), 1.0);
    circle(cr, 23, 17, 9);
    stroke_with(cr, rgb(0x4A5259), 1.0);
    ball(cr, 23, 17, 2.2, kGreen);
}

void draw_oval_device(cairo_t* cr)
{
    // An oval housing with a seam and a status lamp.
    cairo_save(cr);
    cairo_translate(cr, 23, 17);
    cairo_scale(cr, 20.5, 13.5);
    circle(cr, 0, 0, 1);
    cairo_restore(cr);
    fill_shaded(cr, kInk, 3.5, 30.5, true);
    stroke_with(cr, rgb(0x15181B), 1.0);
    cairo_save(cr);
    cairo_translate(cr, 23, 17);
    cairo_scale(cr, 16, 9.5);
    circle(cr, 0, 0, 1);
    cairo_restore(cr);
    stroke_with(cr, rgb(0x4A5259), 1.0);
    rounded_rect(cr, 15, 15.5, 12, 3, 1.5);
    set(cr, rgb(0x7D868F));
    cairo_fill(cr);
    ball(cr, 31.5, 17, 1.9, kBlue);
}

// ---------------------------------------------------------------------------
// Battery, 58 x 34: an outline with five cells; level 1 is empty (red),
// level 6 full (green).

void battery_outline(cairo_t* cr, Rgb frame)
{
    rounded_rect(cr, 5.5, 8.5, 43, 17, 3);
    set(cr, kWhite);
    cairo_fill_preserve(cr);
    stroke_with(cr, frame, 2.0);
    rounded_rect(cr, 49.5, 13, 4, 8, 1.5);
    set(cr, frame);
    cairo_fill(cr);
}

void draw_battery(cairo_t* cr, int level)
{
    const Rgb fill = level <= 2 ? kRed : level == 3 ? kAmber : kGreen;
    battery_outline(cr, level == 1 ? kRed : kInk);
    for (int i = 0; i < level - 1; ++i) {
        rounded_rect(cr, 8.5 + i * 7.8, 11.5, 6.6, 11, 1.2);
        fill_shaded(cr, fill, 11.5, 22.5);
    }
}

void draw_battery_plus_minus(cairo_t* cr)
{
    battery_outline(cr, kInk);
    set(cr, kInk);
    cairo_set_line_width(cr, 2.4);
    cairo_move_to(cr, 12, 17);
    cairo_line_to(cr, 20, 17);
    cairo_move_to(cr, 16, 13);
    cairo_line_to(cr, 16, 21);
    cairo_move_to(cr, 34, 17);
    cairo_line_to(cr, 42, 17);
    cairo_stroke(cr);
}

// ---------------------------------------------------------------------------
// Antenna, 46 x 34: a mast with 0 to 4 waves on each side; waves not
// reached are drawn faint so that the scale stays readable.

void draw_antenna(cairo_t* cr, int waves)
{
    const double cx = 23, cy = 11;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i < 4; ++i) {
        const double r = 5.0 + i * 4.2;
        const bool on = i < waves;
        const Rgb c = on ? kGreen : rgb(0xD3D7DB);
        cairo_new_path(cr);
        cairo_arc(cr, cx, cy, r, -0.7, 0.7);
        stroke_with(cr, c, 1.8);
        cairo_arc(cr, cx, cy, r, M_PI - 0.7, M_PI + 0.7);
        stroke_with(cr, c, 1.8);
    }
    // Mast on a small tripod.
    set(cr, kInk);
    cairo_set_line_width(cr, 2.0);
    cairo_move_to(cr, cx, cy);
    cairo_line_to(cr, cx, 31);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 1.4);
    cairo_move_to(cr, cx, 23);
    cairo_line_to(cr, cx - 5, 31);
    cairo_move_to(cr, cx, 23);
    cairo_line_to(cr, cx + 5, 31);
    cairo_stroke(cr);
    ball(cr, cx, cy, 2.6, waves ? kGreen : kGrey);
}

// ---------------------------------------------------------------------------
// Button symbols, 33 x 33: a rounded key cap in the picture's colour with a
// white symbol.

void key_cap(cairo_t* cr, Rgb c)
{
    rounded_rect(cr, 2.5, 2.5, 28, 28, 6);
    fill_shaded(cr, c, 2.5, 30.5, true);
    stroke_with(cr, mix(c, rgb(0x000000), 0.35), 1.0);
    // A soft highlight along the top edge.
    rounded_rect(cr, 4.5, 3.8, 24, 9, 4.5);
    set(cr, kWhite, 0.16);
    cairo_fill(cr);
}

void padlock(cairo_t* cr, bool open)
{
    set(cr, kWhite);
    cairo_set_line_width(cr, 2.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    // Open, the shackle is lifted: its free leg ends above the body.
    const double top = open ? 10.5 : 12.5;
    cairo_move_to(cr, 12.0, 16.5);
    cairo_line_to(cr, 12.0, top);
    cairo_arc(cr, 16.5, top, 4.5, M_PI, 2 * M_PI);
    cairo_line_to(cr, 21.0, open ? 12.0 : 16.5);
    cairo_stroke(cr);
    rounded_rect(cr, 9.0, 15.5, 15, 11.5, 2);
    cairo_fill(cr);
    // Keyhole cut out of the body.
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    circle(cr, 16.5, 19.8, 1.6);
    cairo_fill(cr);
    fill_polygon(cr, {{15.8, 20.5}, {17.2, 20.5}, {17.6, 24.2}, {15.4, 24.2}});
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
}

void bell(cairo_t* cr)
{
    set(cr, kWhite);
    cairo_move_to(cr, 16.5, 7.5);
    cairo_curve_to(cr, 11.0, 7.5, 10.5, 12.0, 10.5, 15.5);
    cairo_curve_to(cr, 10.5, 19.0, 9.5, 21.0, 7.5, 22.8);
    cairo_line_to(cr, 25.5, 22.8);
    cairo_curve_to(cr, 23.5, 21.0, 22.5, 19.0, 22.5, 15.5);
    cairo_curve_to(cr, 22.5, 12.0, 22.0, 7.5, 16.5, 7.5);
    cairo_close_path(cr);
    cairo_fill(cr);
    circle(cr, 16.5, 6.8, 1.5);
    cairo_fill(cr);
    cairo_arc(cr, 16.5, 24.6, 2.4, 0, M_PI);
    cairo_fill(cr);
}

void car_open_trunk(cairo_t* cr)
{
    set(cr, kWhite);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    // A saloon in side view, nose to the left, with its boot lid swung up.
    cairo_move_to(cr, 3.5, 22.0);
    cairo_line_to(cr, 3.5, 18.2);
    cairo_curve_to(cr, 3.5, 16.8, 4.3, 16.2, 5.6, 16.0);
    cairo_line_to(cr, 9.6, 15.4);
    cairo_line_to(cr, 12.6, 11.4);
    cairo_curve_to(cr, 13.1, 10.8, 13.7, 10.6, 14.4, 10.6);
    cairo_line_to(cr, 19.0, 10.6);
    cairo_curve_to(cr, 19.8, 10.6, 20.3, 10.9, 20.7, 11.6);
    cairo_line_to(cr, 22.4, 15.4);
    cairo_line_to(cr, 29.5, 16.4);
    cairo_line_to(cr, 29.5, 22.0);
    cairo_close_path(cr);
    cairo_fill(cr);
    // The open lid stands up from its hinge behind the rear window.
    fill_polygon(cr, {{22.6, 14.0}, {28.6, 6.0}, {30.2, 7.3}, {24.8, 14.6}});
    // Windows and wheel arches cut out of the body.
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    fill_polygon(cr, {{11.4, 15.0}, {13.8, 12.0}, {16.2, 12.0}, {16.2, 15.0}});
    fill_polygon(cr, {{17.4, 15.0}, {17.4, 12.0}, {19.2, 12.0}, {20.8, 15.0}});
    for (double x : {9.0, 24.2}) {
        circle(cr, x, 22.2, 3.7);
        cairo_fill(cr);
    }
    // The wheels in the arches.
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    set(cr, kWhite);
    for (double x : {9.0, 24.2}) {
        circle(cr, x, 22.2, 2.7);
        cairo_fill(cr);
    }
}

void emblem(cairo_t* cr)
{
    set(cr, kWhite);
    circle(cr, 16.5, 16.5, 9.5);
    cairo_set_line_width(cr, 1.8);
    cairo_stroke(cr);
    star_path(cr, 16.5, 17.2, 7.0, 2.8);
    cairo_fill(cr);
}

void power(cairo_t* cr)
{
    set(cr, kWhite);
    cairo_set_line_width(cr, 2.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_arc(cr, 16.5, 17.5, 8, -M_PI / 2 + 0.75, 3 * M_PI / 2 - 0.75);
    cairo_stroke(cr);
    cairo_move_to(cr, 16.5, 7.0);
    cairo_line_to(cr, 16.5, 16.0);
    cairo_stroke(cr);
}

void draw_symbol(cairo_t* cr, Picture p)
{
    const int index = int(p) - int(Picture::PadlockOpenGrey);
    const int colour = index % 3;
    const Picture base = Picture(int(Picture::PadlockOpenGrey) + index - colour);
    key_cap(cr, colour == 0 ? kGrey : colour == 1 ? kRed : kBlue);
    // The symbol is drawn on a layer of its own, so that its cut-outs
    // (keyhole, windows) show the key cap and not what lies beneath.
    cairo_push_group(cr);
    switch (base) {
    case Picture::PadlockOpenGrey: padlock(cr, true); break;
    case Picture::PadlockClosedGrey: padlock(cr, false); break;
    case Picture::BellGrey: bell(cr); break;
    case Picture::TrunkGrey: car_open_trunk(cr); break;
    case Picture::EmblemGrey: emblem(cr); break;
    case Picture::PowerGrey: power(cr); break;
    default: break;
    }
    cairo_pop_group_to_source(cr);
    cairo_paint(cr);
}

// ---------------------------------------------------------------------------

void draw(cairo_t* cr, Picture p)
{
    switch (p) {
    case Picture::CircleGrey:
    case Picture::CircleRed:
    case Picture::CircleGreen:
    case Picture::CircleGreenPlus:
    case Picture::CircleGreenMinus: draw_circle(cr, p); break;
    case Picture::PhoneAndroid: draw_phone_android(cr); break;
    case Picture::PhoneApple: draw_phone_apple(cr); break;
    case Picture::UnknownDevice: draw_unknown_device(cr); break;
    case Picture::CardQr: draw_card_qr(cr); break;
    case Picture::FobEmblem: draw_fob_emblem(cr); break;
    case Picture::RemoteFourButton: draw_remote_four_button(cr); break;
    case Picture::SirenBox: draw_siren_box(cr); break;
    case Picture::LuggedDevice: draw_lugged_device(cr); break;
    case Picture::OvalDevice: draw_oval_device(cr); break;
    case Picture::Battery1:
    case Picture::Battery2:
    case Picture::Battery3:
    case Picture::Battery4:
    case Picture::Battery5:
    case Picture::Battery6: draw_battery(cr, 1 + int(p) - int(Picture::Battery1)); break;
    case Picture::BatteryPlusMinus: draw_battery_plus_minus(cr); break;
    case Picture::Antenna0:
    case Picture::Antenna1:
    case Picture::Antenna2:
    case Picture::Antenna3:
    case Picture::Antenna4: draw_antenna(cr, int(p) - int(Picture::Antenna0)); break;
    case Picture::Count: break;
    default: draw_symbol(cr, p); break;
    }
}

// Copies a cairo ARGB32 surface (premultiplied, native endian) into a new
// non-premultiplied RGBA pixbuf.
GdkPixbuf* pixbuf_from_surface(cairo_surface_t* surface, int w, int h)
{
    cairo_surface_flush(surface);
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, w, h);
    const unsigned char* src = cairo_image_surface_get_data(surface);
    const int src_stride = cairo_image_surface_get_stride(surface);
    guchar* dst = gdk_pixbuf_get_pixels(pixbuf);
    const int dst_stride = gdk_pixbuf_get_rowstride(pixbuf);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const guint32 px = *reinterpret_cast<const guint32*>(src + y * src_stride + x * 4);
            const guint8 a = px >> 24;
            guchar* d = dst + y * dst_stride + x * 4;
            d[0] = a ? guchar(((px >> 16) & 0xFF) * 255 / a) : 0;
            d[1] = a ? guchar(((px >> 8) & 0xFF) * 255 / a) : 0;
            d[2] = a ? guchar((px & 0xFF) * 255 / a) : 0;
            d[3] = a;
        }
    }
    return pixbuf;
}

GdkPixbuf* render(Picture p)
{
    const PictureSize size = picture_size(p);
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.width, size.height);
    cairo_t* cr = cairo_create(surface);
    draw(cr, p);
    cairo_destroy(cr);
    GdkPixbuf* pixbuf = pixbuf_from_surface(surface, size.width, size.height);
    cairo_surface_destroy(surface);
    return pixbuf;
}

} // namespace

PictureSize picture_size(Picture p)
{
    const int i = int(p);
    if (i >= int(Picture::PhoneAndroid) && i <= int(Picture::OvalDevice))
        return {46, 34};
    if (i >= int(Picture::Battery1) && i <= int(Picture::BatteryPlusMinus))
        return {58, 34};
    if (i >= int(Picture::Antenna0) && i <= int(Picture::Antenna4))
        return {46, 34};
    return {33, 33};
}

GdkPixbuf* picture_pixbuf(Picture p)
{
    static std::array<GdkPixbuf*, kPictureCount> cache{};
    if (int(p) < 0 || int(p) >= kPictureCount)
        p = Picture::CircleGrey;
    GdkPixbuf*& slot = cache[std::size_t(p)];
    if (!slot)
        slot = render(p);
    return slot;
}

GtkWidget* new_picture(Picture p)
{
    GtkWidget* image = gtk_image_new_from_pixbuf(picture_pixbuf(p));
    gtk_widget_show(image);
    return image;
}

void set_picture(GtkWidget* image, Picture p)
{
    gtk_image_set_from_pixbuf(GTK_IMAGE(image), picture_pixbuf(p));
}

} // namespace tq
