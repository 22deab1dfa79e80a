// vterm_screen.h -- a libvterm terminal for tests: feed it bytes, read back what a cell shows
#pragma once
#include <vterm.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <gtest/gtest.h>

#include <string>

#include "console/console.h"
#include "platform/terminal.h"
#include "platform/vga.h"

struct VtScreen {
    VTerm* vt;
    VTermScreen* screen;
    int rows, cols;

    VtScreen(int rows_, int cols_) : rows(rows_), cols(cols_)
    {
        vt = vterm_new(rows, cols);
        vterm_set_utf8(vt, 1);
        screen = vterm_obtain_screen(vt);
        vterm_screen_reset(screen, 1);
    }
    ~VtScreen() { vterm_free(vt); }
    VtScreen(const VtScreen&) = delete;
    VtScreen& operator=(const VtScreen&) = delete;

    void feed(const char* bytes, size_t n) { vterm_input_write(vt, bytes, n); }
    void feed(const std::string& s) { feed(s.data(), s.size()); }

    VTermScreenCell cell(int row, int col) const
    {
        VTermScreenCell c;
        VTermPos pos = {row, col};
        vterm_screen_get_cell(screen, pos, &c);
        return c;
    }
    VTermPos cursor() const
    {
        VTermPos p;
        vterm_state_get_cursorpos(vterm_obtain_state(vt), &p);
        return p;
    }
};

// The colour a terminal should show for console colour c: the palette value when 24-bit,
// else the ANSI index (red 1, green 2, blue 4; +8 for the bright range).
inline bool vt_colour_is(const VTermColor& got, int c, bool truecolour)
{
    if (truecolour)
        return VTERM_COLOR_IS_RGB(&got) && got.rgb.red == vga_palette[c][0] &&
               got.rgb.green == vga_palette[c][1] && got.rgb.blue == vga_palette[c][2];
    int ansi = ((c & 1) << 2) | (c & 2) | ((c & 4) >> 2) | (c & 8);
    return VTERM_COLOR_IS_INDEXED(&got) && got.indexed.idx == ansi;
}

// First code point of a UTF-8 glyph.
inline uint32_t first_code_point(const char* s)
{
    uint8_t b = (uint8_t)s[0];
    if (b < 0x80)
        return b;
    if (b < 0xE0)
        return (uint32_t)(b & 0x1F) << 6 | ((uint8_t)s[1] & 0x3F);
    return (uint32_t)(b & 0x0F) << 12 | (uint32_t)((uint8_t)s[1] & 0x3F) << 6 | ((uint8_t)s[2] & 0x3F);
}

inline uint32_t expected_char(uint8_t ch)
{
    char g[8];
    terminal_glyph(ch, TERMINAL_CHARSET_UTF8, g);
    return first_code_point(g);
}

inline int count(const std::string& s, const std::string& what)
{
    int n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1))
        n++;
    return n;
}

// The palette index a terminal colour stands for, -1 for none.
inline int vt_console_colour(const VTermColor& got, bool truecolour)
{
    for (int c = 0; c < 16; c++)
        if (vt_colour_is(got, c, truecolour))
            return c;
    return -1;
}

// A terminal colour as sRGB: the 24-bit value as it is, an ANSI index as the console colour it stands
// for (the show sends console colour c as that index).
struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

inline Rgb vt_rgb(const VTermColor& got)
{
    if (VTERM_COLOR_IS_RGB(&got))
        return {got.rgb.red, got.rgb.green, got.rgb.blue};
    int a = got.indexed.idx & 15;
    int c = ((a & 1) << 2) | (a & 2) | ((a & 4) >> 2) | (a & 8);
    return {vga_palette[c][0], vga_palette[c][1], vga_palette[c][2]};
}

inline Rgb palette_rgb(int c) { return {vga_palette[c][0], vga_palette[c][1], vga_palette[c][2]}; }

// The quadrants (bit 0 upper left, 1 upper right, 2 lower left, 3 lower right) that a space or a
// block element inks; -1 for any other character.
inline int block_mask(uint32_t ch)
{
    switch (ch) {
    case ' ': return 0;
    case 0x2598: return 1;  case 0x259D: return 2;  case 0x2580: return 3;  case 0x2596: return 4;
    case 0x258C: return 5;  case 0x259E: return 6;  case 0x259B: return 7;  case 0x2597: return 8;
    case 0x259A: return 9;  case 0x2590: return 10; case 0x259C: return 11; case 0x2584: return 12;
    case 0x2599: return 13; case 0x259F: return 14; case 0x2588: return 15;
    default: return -1;
    }
}

// What a terminal cell shows: the colour of each of its quadrants.
struct Look {
    Rgb quadrant[4];
    bool operator==(const Look& o) const
    {
        for (int q = 0; q < 4; q++)
            if (!(quadrant[q] == o.quadrant[q]))
                return false;
        return true;
    }
};

// Reads a cell drawn as a space on a colour or a block element of at most two quadrants, two of
// them including the upper left one (a fuller block is sent as its complement in swapped colours,
// which leaves less of a seam where a font's blocks fall short of the cell); false for anything else.
inline bool vt_look(const VtScreen& vt, int row, int col, Look* look)
{
    VTermScreenCell got = vt.cell(row, col);
    int mask = block_mask(got.chars[0]);
    int inked = __builtin_popcount((unsigned)mask);
    if (got.width != 1 || mask < 0 || inked > 2 || (inked == 2 && !(mask & 1)))
        return false;
    for (int q = 0; q < 4; q++)
        look->quadrant[q] = vt_rgb(mask >> q & 1 ? got.fg : got.bg);
    return mask == 0 || !(vt_rgb(got.fg) == vt_rgb(got.bg));   // one colour is sent as a space
}

inline double linear_of(int v)
{
    double c = v / 255.0;
    return c <= 0.04045 ? c / 12.92 : pow((c + 0.055) / 1.055, 2.4);
}

inline int srgb_of(double l)
{
    double s = l <= 0.0031308 ? l * 12.92 : 1.055 * pow(l, 1 / 2.4) - 0.055;
    return (int)lround(s * 255);
}

// Glyph pixels inked in a 4 x 4 quadrant of the 8 x 8 font (0 upper left, 1 upper right, 2 lower
// left, 3 lower right), and in the upper (half 0) or lower (half 1) four rows.
inline int quadrant_ink(uint8_t ch, int q)
{
    int n = 0;
    for (int y = 4 * (q >> 1); y < 4 * (q >> 1) + 4; y++)
        n += __builtin_popcount((unsigned)(vga_font8x8[ch][y] >> (q & 1 ? 0 : 4) & 15));
    return n;
}

inline int half_ink(uint8_t ch, int half) { return quadrant_ink(ch, 2 * half) + quadrant_ink(ch, 2 * half + 1); }

// A quadrant's mean colour in linear light: its ink in the foreground, the rest in the background.
inline void quadrant_linear(DisplayCell c, int q, double out[3])
{
    int ink = quadrant_ink(c.ch, q);
    for (int k = 0; k < 3; k++)
        out[k] = (ink * linear_of(vga_palette[c.attr & 15][k]) +
                  (16 - ink) * linear_of(vga_palette[c.attr >> 4][k])) / 16;
}

inline Rgb rgb_of_linear(const double l[3]) { return {srgb_of(l[0]), srgb_of(l[1]), srgb_of(l[2])}; }

inline double rgb_distance(Rgb a, Rgb b)
{
    double dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
    return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

// How far the two mean colours of a split of a cell's quadrants (group 1: the quadrants in mask)
// lie from the quadrants' own colours; the means go to mean.
inline double split_error(DisplayCell c, unsigned mask, Rgb mean[2])
{
    double lin[4][3], sum[2][3] = {}, n[2] = {0, 0};
    for (int q = 0; q < 4; q++) {
        quadrant_linear(c, q, lin[q]);
        int g = mask >> q & 1;
        n[g]++;
        for (int k = 0; k < 3; k++)
            sum[g][k] += lin[q][k];
    }
    for (int g = 0; g < 2; g++) {
        for (int k = 0; k < 3 && n[g]; k++)
            sum[g][k] /= n[g];
        mean[g] = rgb_of_linear(sum[g]);
    }
    double error = 0;
    for (int q = 0; q < 4; q++)
        error += rgb_distance(rgb_of_linear(lin[q]), mean[mask >> q & 1]);
    return error;
}

inline bool near_rgb(Rgb a, Rgb b) { return abs(a.r - b.r) <= 1 && abs(a.g - b.g) <= 1 && abs(a.b - b.b) <= 1; }

// Whether a grid cell in 24-bit colour shows console cell c: its quadrants in at most two colours,
// each the mean in linear light of the quadrants it covers (within one level, the rounding of the
// show's 12-bit linear light), split so that no other split fits the quadrants clearly better.
inline bool grid_shows_24bit(const Look& got, DisplayCell c)
{
    unsigned mask = 0;
    int other = -1;
    for (int q = 1; q < 4; q++) {
        if (got.quadrant[q] == got.quadrant[0])
            continue;
        if (other >= 0 && !(got.quadrant[q] == got.quadrant[other]))
            return false;   // a third colour
        other = other < 0 ? q : other;
        mask |= 1u << q;
    }
    Rgb mean[2];
    double error = split_error(c, mask, mean);
    if (!near_rgb(got.quadrant[0], mean[0]) || (other >= 0 && !near_rgb(got.quadrant[other], mean[1])))
        return false;
    for (unsigned split = 0; split < 16; split += 2) {
        Rgb m[2];
        if (split_error(c, split, m) * 1.02 + 100 < error)
            return false;
    }
    return true;
}

// Whether a half of a console cell is one console colour throughout; that colour, else -1.
inline int half_console_colour(DisplayCell c, int half)
{
    int ink = half_ink(c.ch, half);
    if ((c.attr & 15) == (c.attr >> 4) || ink == 0)
        return c.attr >> 4;
    return ink == 32 ? c.attr & 15 : -1;
}

// Glyphs whose halves are each one colour: with 16 colours the grid shows them exactly.
inline uint8_t blocky_glyph(unsigned r)
{
    static const uint8_t GLYPHS[] = {0x00, ' ', 0xDB, 0xDC, 0xDF, 0xFF};
    return GLYPHS[r % sizeof GLYPHS];
}

// Every visible cell of the grid layout shows the frame: with 24-bit colours as grid_shows_24bit
// says; with 16 colours as upper half blocks, each half that is one console colour exactly that
// colour (mixed halves are dithered).
inline void expect_shows(const VtScreen& vt, const DisplayCell* cells, bool truecolour, int left = 0, int top = 0)
{
    int mismatches = 0;
    for (int row = 0; row < DISPLAY_ROWS && row + top < vt.rows; row++)
        for (int col = 0; col < DISPLAY_COLS && col + left < vt.cols; col++) {
            DisplayCell c = cells[row * DISPLAY_COLS + col];
            Look got;
            bool ok = vt_look(vt, row + top, col + left, &got);
            if (ok && truecolour) {
                ok = grid_shows_24bit(got, c);
            } else if (ok) {
                ok = got.quadrant[0] == got.quadrant[1] && got.quadrant[2] == got.quadrant[3];
                for (int half = 0; half < 2 && ok; half++) {
                    int pure = half_console_colour(c, half);
                    ok = pure < 0 || got.quadrant[2 * half] == palette_rgb(pure);
                }
            }
            if (!ok && ++mismatches <= 5)
                ADD_FAILURE() << "cell " << col << "," << row << " ch " << (int)c.ch << " attr " << (int)c.attr
                              << " shows U+" << std::hex << vt.cell(row + top, col + left).chars[0];
        }
    EXPECT_EQ(mismatches, 0);
}
