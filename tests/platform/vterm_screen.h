// vterm_screen.h -- a libvterm terminal for tests: feed it bytes, read back what a cell shows
#pragma once
#include <vterm.h>

#include <cstdint>
#include <string>

#include "console/console.h"

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
