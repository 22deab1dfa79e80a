// terminal.h -- the terminal display's public face: the text layouts, the frame encoder and the key decoder
//
// The encoder turns 80 x 50 console cells into the bytes a terminal needs to show them; the key
// decoder turns the bytes a terminal sends into console key codes in the display's key queue. Both
// do no I/O and keep no clock of their own, so that tests, the renderer and benchmarks can use them
// on memory. The driver itself is a row of the display table (display_terminal.cpp).
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/display.h"

// ---- types ----

enum {
    TERMINAL_COLOURS_16 = 0,     // the 16 ANSI colours (30-37, 90-97, 40-47, 100-107)
    TERMINAL_COLOURS_24BIT = 1,  // the console palette's exact values (38;2;r;g;b)

    TERMINAL_CHARSET_UTF8 = 0,   // code page 437 glyphs and block elements as Unicode in UTF-8
    TERMINAL_CHARSET_ASCII = 1,  // a plain ASCII look-alike of every glyph

    // How the 80 x 50 console cells are laid out on the terminal's cells (the display's layouts).
    TERMINAL_LAYOUT_AUTO = DISPLAY_LAYOUT_AUTO,       // chosen by the terminal's size, again after every resize
    TERMINAL_LAYOUT_WIDE = DISPLAY_LAYOUT_WIDE,       // in proportion at full size: each console cell two terminal cells of half blocks
    TERMINAL_LAYOUT_GRID = DISPLAY_LAYOUT_GRID,       // one terminal cell of half blocks per console cell
    TERMINAL_LAYOUT_COMPACT = DISPLAY_LAYOUT_COMPACT, // the whole picture scaled into a smaller terminal, two pixels per cell
    TERMINAL_LAYOUT_TOO_SMALL = DISPLAY_LAYOUT_TOO_SMALL, // chosen only: the terminal is below TERMINAL_MIN_COLS x TERMINAL_MIN_ROWS

    TERMINAL_MIN_COLS = 40,      // the smallest terminal that still shows the whole picture
    TERMINAL_MIN_ROWS = 12,
    TERMINAL_MAX_COLS = 2 * DISPLAY_COLS,     // the widest layout (wide)
    TERMINAL_MAX_ROWS = DISPLAY_ROWS,
    TERMINAL_MAX_CELLS = TERMINAL_MAX_COLS * TERMINAL_MAX_ROWS,

    // A terminal cell's colour is a console colour 0-15, or TERMINAL_RGB plus 0xRRGGBB (24-bit only).
    TERMINAL_RGB = 0x1000000,
    // Glyphs 0-255 are code page 437; TERMINAL_GLYPH_QUADRANTS + mask (1-14) is the block element
    // whose quadrants are set in mask (bit 0 upper left, 1 upper right, 2 lower left, 3 lower right).
    TERMINAL_GLYPH_QUADRANTS = 256,

    // Room one frame can ever need: per terminal cell a cursor move, two 24-bit colours and a glyph
    // with its variation selector (under 64 bytes), plus the frame's opening and closing sequences.
    TERMINAL_FRAME_BYTES = TERMINAL_MAX_CELLS * 64 + 512,
};

// One terminal cell as it is sent.
struct TermCell {
    uint32_t fg, bg;                    // console colour or TERMINAL_RGB | 0xRRGGBB
    uint16_t glyph;                     // code page 437 byte or TERMINAL_GLYPH_QUADRANTS + mask
};

// Where the picture lies on the terminal and how it is drawn there.
struct TerminalLayout {
    int kind;                           // TERMINAL_LAYOUT_WIDE, _GRID, _COMPACT or _TOO_SMALL
    int left, top;                      // terminal cell of the picture's upper left corner, 0-based
    int cols, rows;                     // terminal cells the picture covers (its visible part)
    int pixel_cols;                     // picture columns (one per terminal cell); more than cols where a forced grid is cut
    int pixel_rows;                     // picture rows (2 per terminal row with half blocks, else 1)
};

// What the terminal shows and how to talk to it. Fill with terminal_encoder_init; change cols,
// rows, cell_w / cell_h or layout_wanted (then set repaint) when the terminal changes.
struct TerminalEncoder {
    int cols, rows;                     // terminal size in cells
    int cell_w, cell_h;                 // one cell's size in pixels; 0 when the terminal does not say (1 : 2 assumed)
    int colours;                        // TERMINAL_COLOURS_*
    int charset;                        // TERMINAL_CHARSET_*
    int layout_wanted;                  // TERMINAL_LAYOUT_AUTO or a forced layout
    int repaint;                        // 1: the next frame chooses the layout, clears the screen and sends every cell
    TerminalLayout layout;              // chosen at the last repaint
    TermCell target[TERMINAL_MAX_CELLS];// the frame being laid out, layout.cols x layout.rows
    TermCell shown[TERMINAL_MAX_CELLS]; // what the terminal shows there (valid unless repaint)
    int cursor_x, cursor_y;             // terminal cursor, 0-based; -1 when not known
    uint32_t fg, bg;                    // colours in effect; TERMINAL_UNKNOWN_COLOUR when not known
    int cells_sent;                     // terminal cells written by the last frame
    const DisplayText* text;            // lines of text set over the picture, or null
};

enum : uint32_t { TERMINAL_UNKNOWN_COLOUR = 0xFFFFFFFFu };

enum {
    TERMINAL_ESCAPE_MS = 30,            // a lone Escape waits this long for a following byte
    TERMINAL_SEQUENCE_MAX = 64,         // bytes after which an unfinished sequence is no key and is dropped
    TERMINAL_SEQUENCE_MS = 1000,        // and the time after which it is
};

// Key decoder: bytes in, console key codes out into the display's key queue (Escape 27; arrows and
// Home as 224 then 75, 77, 72, 80 or 71; Backspace 8).
struct TerminalKeys {
    int raw;                            // 1: keys come as typed (raw mode), so Escape followed by anything
                                        // within TERMINAL_ESCAPE_MS is Alt with that key, never Escape
    int state;                          // where in an escape sequence the decoder stands
    int params;                         // 1 when the sequence so far has parameter bytes
    int number;                         // those bytes as one whole number, -1 when they are not one
    int length;                         // bytes of the sequence so far
    int skip;                           // raw bytes still to drop (mouse reports)
    uint32_t escape_at;                 // ms when the pending Escape (or the sequence) began
};

// ---- layouts ----

// Chooses the layout for a terminal of cols x rows cells of cell_w x cell_h pixels (0 x 0: unknown,
// taken as 1 : 2). Auto: wide from 160 x 50 cells, grid from 80 x 50, compact below that down to
// TERMINAL_MIN_COLS x TERMINAL_MIN_ROWS, too small under it. A forced layout larger than the
// terminal shows its upper left part.
void terminal_layout_choose(TerminalLayout* layout, int wanted, int cols, int rows, int cell_w, int cell_h,
                            int charset);
// Lays the console cells out as layout->cols x layout->rows terminal cells.
void terminal_layout_draw(const TerminalLayout* layout, const DisplayCell* cells, int colours, int charset,
                          TermCell* out);

// ---- frame encoder ----

void terminal_encoder_init(TerminalEncoder* enc, int cols, int rows, int colours, int charset);

// Encodes one frame into out and returns its length. Only terminal cells that differ from what the
// terminal shows are sent (every cell after a repaint); a frame with no change gives 0 bytes. Needs
// capacity >= TERMINAL_FRAME_BYTES; with less it returns 0 and changes nothing.
size_t terminal_encode_frame(TerminalEncoder* enc, const DisplayCell* cells, char* out, size_t capacity);

// The decimal digits of v at p (no terminator); returns the byte after them.
char* terminal_put_uint(char* p, unsigned v);

// The bytes of glyph (code page 437 byte or TERMINAL_GLYPH_QUADRANTS + mask) as sent in the given
// charset; returns their count (1-6).
int terminal_glyph(unsigned glyph, int charset, char* out);

// ---- key decoder ----

void terminal_keys_init(TerminalKeys* keys);
void terminal_keys_feed(TerminalKeys* keys, const uint8_t* bytes, size_t n, uint32_t now_ms);
void terminal_keys_tick(TerminalKeys* keys, uint32_t now_ms);  // a lone Escape ripe by now becomes 27
int terminal_keys_pending_escape(const TerminalKeys* keys);    // 1 while a lone Escape may still grow
