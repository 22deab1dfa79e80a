// vterm_screen.h -- a libvterm terminal for tests: feed it bytes, read back what a cell shows
#pragma once
#include <vterm.h>

#include <cstdint>
#include <gtest/gtest.h>

#include <string>

#include "console/console.h"
#include "platform/terminal.h"
#include "platform/terminal_cells.h"

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

// The quadrants (bit 0 upper left, 1 upper right, 2 lower left, 3 lower right) that a space or a
// block element inks; -1 for any other character.
inline int block_mask(uint32_t ch)
{
    switch (ch) {
    case 0: case ' ': return 0;
    case 0x2598: return 1;  case 0x259D: return 2;  case 0x2580: return 3;  case 0x2596: return 4;
    case 0x258C: return 5;  case 0x259E: return 6;  case 0x259B: return 7;  case 0x2597: return 8;
    case 0x259A: return 9;  case 0x2590: return 10; case 0x259C: return 11; case 0x2584: return 12;
    case 0x2599: return 13; case 0x259F: return 14; case 0x2588: return 15;
    default: return -1;
    }
}

// What a terminal cell looks like: a glyph with its colours (box drawing), or the console colour of
// each of its four quadrants.
struct Look {
    uint32_t ch;      // 0 for quadrants
    int fg, bg;
    int quadrant[4];
    bool operator==(const Look& o) const
    {
        if (ch != o.ch)
            return false;
        if (ch)
            return fg == o.fg && bg == o.bg;
        for (int q = 0; q < 4; q++)
            if (quadrant[q] != o.quadrant[q])
                return false;
        return true;
    }
};

inline Look mask_look(unsigned mask, int fg, int bg)
{
    Look l = {0, 0, 0, {}};
    for (int q = 0; q < 4; q++)
        l.quadrant[q] = mask >> q & 1 ? fg : bg;
    return l;
}

// What the grid layout must show for a cell: box drawing as it is, anything else as the quadrants
// of the grid mask in the cell's two colours.
inline Look grid_look(DisplayCell c)
{
    int fg = c.attr & 15, bg = c.attr >> 4;
    if (c.ch >= 0xB3 && c.ch <= 0xDA && fg != bg)
        return {expected_char(c.ch), fg, bg, {}};
    return mask_look(terminal_grid_masks[c.ch], fg, bg);
}

// The palette index a terminal colour stands for, -1 for none.
inline int vt_console_colour(const VTermColor& got, bool truecolour)
{
    for (int c = 0; c < 16; c++)
        if (vt_colour_is(got, c, truecolour))
            return c;
    return -1;
}

// Whether terminal cell (row, col) shows `want`; a blank's foreground does not count.
inline bool vt_shows(const VtScreen& vt, int row, int col, const Look& want, bool truecolour)
{
    VTermScreenCell got = vt.cell(row, col);
    if (got.width != 1)
        return false;
    int fg = vt_console_colour(got.fg, truecolour), bg = vt_console_colour(got.bg, truecolour);
    if (want.ch)
        return got.chars[0] == want.ch && fg == want.fg && bg == want.bg;
    int mask = block_mask(got.chars[0]);
    // A block with more than two quadrants inked is never sent: its complement in swapped colours
    // looks the same and leaves less of a seam where a font's blocks fall short of the cell.
    if (mask < 0 || __builtin_popcount((unsigned)mask) > 2)
        return false;
    for (int q = 0; q < 4; q++)
        if ((mask >> q & 1 ? fg : bg) != want.quadrant[q])
            return false;
    return true;
}

// Every visible cell of the grid layout shows the frame.
inline void expect_shows(const VtScreen& vt, const DisplayCell* cells, bool truecolour, int left = 0, int top = 0)
{
    int mismatches = 0;
    for (int row = 0; row < DISPLAY_ROWS && row + top < vt.rows; row++)
        for (int col = 0; col < DISPLAY_COLS && col + left < vt.cols; col++) {
            DisplayCell c = cells[row * DISPLAY_COLS + col];
            if (!vt_shows(vt, row + top, col + left, grid_look(c), truecolour) && ++mismatches <= 5)
                ADD_FAILURE() << "cell " << col << "," << row << " ch " << (int)c.ch << " attr " << (int)c.attr
                              << " shows U+" << std::hex << vt.cell(row + top, col + left).chars[0];
        }
    EXPECT_EQ(mismatches, 0);
}
