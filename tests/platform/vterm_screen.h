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
#include "console/glyphs.h"

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
        return VTERM_COLOR_IS_RGB(&got) && got.rgb.red == console_palette[c][0] &&
               got.rgb.green == console_palette[c][1] && got.rgb.blue == console_palette[c][2];
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
    return {console_palette[c][0], console_palette[c][1], console_palette[c][2]};
}

inline Rgb palette_rgb(int c) { return {console_palette[c][0], console_palette[c][1], console_palette[c][2]}; }

// What a terminal cell of half blocks shows: the colour of its upper and of its lower half.
struct Look {
    Rgb upper, lower;
    bool operator==(const Look& o) const { return upper == o.upper && lower == o.lower; }
};

// Reads a cell drawn as a space on a colour or an upper half block; false for anything else (other
// glyphs are never sent in the half-block layouts, nor a full block, whose seam shows in many fonts).
inline bool vt_look(const VtScreen& vt, int row, int col, Look* look)
{
    VTermScreenCell got = vt.cell(row, col);
    if (got.width != 1)
        return false;
    if (got.chars[0] == ' ') {
        look->upper = look->lower = vt_rgb(got.bg);
        return true;
    }
    if (got.chars[0] == 0x2580) {
        look->upper = vt_rgb(got.fg);
        look->lower = vt_rgb(got.bg);
        return !(look->upper == look->lower);   // one colour is sent as a space
    }
    return false;
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

// Glyph pixels inked in the upper (half 0) or lower (half 1) four rows of the 8 x 8 font.
inline int half_ink(uint8_t ch, int half)
{
    int n = 0;
    for (int y = 4 * half; y < 4 * half + 4; y++)
        n += __builtin_popcount(console_font8x8[ch][y]);
    return n;
}

// The grid layout shows each half of a console cell as the mean, in linear light, of its 32 glyph
// pixels in the cell's two colours.
inline Rgb half_mean(DisplayCell c, int half)
{
    int ink = half_ink(c.ch, half);
    const uint8_t* fg = console_palette[c.attr & 15];
    const uint8_t* bg = console_palette[c.attr >> 4];
    int out[3];
    for (int k = 0; k < 3; k++)
        out[k] = srgb_of((ink * linear_of(fg[k]) + (32 - ink) * linear_of(bg[k])) / 32);
    return {out[0], out[1], out[2]};
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

inline bool near_rgb(Rgb a, Rgb b) { return abs(a.r - b.r) <= 1 && abs(a.g - b.g) <= 1 && abs(a.b - b.b) <= 1; }

// Every visible cell of the grid layout shows the frame: with 24-bit colours each half the mean of
// its glyph pixels (within one level, the rounding of the show's 12-bit linear light); with 16
// colours each half that is one console colour shows it exactly (mixed halves are dithered).
inline void expect_shows(const VtScreen& vt, const DisplayCell* cells, bool truecolour, int left = 0, int top = 0)
{
    int mismatches = 0;
    for (int row = 0; row < DISPLAY_ROWS && row + top < vt.rows; row++)
        for (int col = 0; col < DISPLAY_COLS && col + left < vt.cols; col++) {
            DisplayCell c = cells[row * DISPLAY_COLS + col];
            Look got;
            bool ok = vt_look(vt, row + top, col + left, &got);
            for (int half = 0; half < 2 && ok; half++) {
                Rgb shown = half ? got.lower : got.upper;
                int pure = half_console_colour(c, half);
                if (truecolour)
                    ok = near_rgb(shown, half_mean(c, half));
                else if (pure >= 0)
                    ok = shown == palette_rgb(pure);
            }
            if (!ok && ++mismatches <= 5)
                ADD_FAILURE() << "cell " << col << "," << row << " ch " << (int)c.ch << " attr " << (int)c.attr
                              << " shows U+" << std::hex << vt.cell(row + top, col + left).chars[0];
        }
    EXPECT_EQ(mismatches, 0);
}
