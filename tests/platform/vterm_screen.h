// vterm_screen.h -- a libvterm terminal for tests: feed it bytes, read back what a cell shows
#pragma once
#include <vterm.h>

#include <cstdint>
#include <gtest/gtest.h>

#include <string>

#include "console/console.h"
#include "platform/terminal.h"

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

inline bool is_blank(uint8_t ch) { return ch == 0 || ch == ' ' || ch == 0xFF; }

// Every visible grid cell of the terminal shows the frame: glyph, background, and (unless blank) foreground.
inline void expect_shows(const VtScreen& vt, const DisplayCell* cells, bool truecolour, int left = 0, int top = 0)
{
    int mismatches = 0;
    for (int row = 0; row < DISPLAY_ROWS && row + top < vt.rows; row++)
        for (int col = 0; col < DISPLAY_COLS && col + left < vt.cols; col++) {
            DisplayCell c = cells[row * DISPLAY_COLS + col];
            VTermScreenCell got = vt.cell(row + top, col + left);
            bool ok = got.chars[0] == expected_char(c.ch) && got.width == 1 &&
                      vt_colour_is(got.bg, c.attr >> 4, truecolour) &&
                      (is_blank(c.ch) || vt_colour_is(got.fg, c.attr & 15, truecolour));
            if (!ok && ++mismatches <= 5)
                ADD_FAILURE() << "cell " << col << "," << row << " ch " << (int)c.ch << " attr " << (int)c.attr
                              << " shows U+" << std::hex << got.chars[0] << " width " << std::dec << (int)got.width;
        }
    EXPECT_EQ(mismatches, 0);
}

