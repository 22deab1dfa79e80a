// terminal_pixels.h -- the terminal's pixel path: its replies to the detection queries, placement, the kitty and sixel encoders
//
// In a terminal that draws pictures the 80 x 50 cells are drawn as the window draws them, 640 x 400
// pixels in the 8 x 8 font and the 16 console colours, scaled by a whole number. Everything here does
// no I/O and keeps no clock of its own, so that tests, fuzzers and benchmarks can run it on memory;
// the tty session and the renderer (display_terminal.cpp) drive it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/display.h"
#include "platform/vga.h"

// ---- types ----

enum {
    TERMINAL_GRAPHICS_NONE = 0,   // text layouts only
    TERMINAL_GRAPHICS_KITTY = 1,  // kitty's graphics protocol
    TERMINAL_GRAPHICS_SIXEL = 2,  // DEC sixels

    TERMINAL_REPLY_HOLD = 64,          // bytes of one sequence held while it may still be a reply
    TERMINAL_REPLY_ESCAPE_MS = 300,    // while replies are awaited, a lone Escape waits this long for the rest
    TERMINAL_REPLY_STALE_MS = 1000,    // an unfinished sequence older than this is dropped
    TERMINAL_REPLY_AWAIT_MS = 5000,    // replies are awaited at most this long after the queries
    TERMINAL_REPLY_LIMIT = 100000,     // numbers in replies are clamped here

    TERMINAL_KITTY_QUERY_ID = 31,      // the image id of the protocol query
    TERMINAL_KITTY_SHM_ID = 32,        // the image id of the shared-memory query
    TERMINAL_KITTY_IMAGE_ID = 16016,   // the one image every frame replaces
};

// What the terminal said in answer to the detection queries. Fill with terminal_replies_init; feed
// every input byte through terminal_replies_feed, which hands on what is not a reply (the keys).
struct TerminalReplies {
    // the parser
    int state;                          // where in an escape sequence it stands
    uint8_t held[TERMINAL_REPLY_HOLD];  // the sequence so far (for a string, its first bytes)
    int held_len;
    int overflow;                       // 1: the sequence outgrew `held`; it is dropped at its end
    uint32_t started_ms;                // when its Escape arrived
    int awaiting;                       // 1 until the answer to DA1 (or TERMINAL_REPLY_AWAIT_MS)
    uint32_t asked_ms;                  // when the queries went out
    // what was learned; 0 where nothing was said
    int da1;                            // 1: DA1 answered (every later reply has come too)
    int sixel;                          // 1: DA1 lists attribute 4
    int kitty;                          // 1: the graphics query was answered OK; -1: with an error
    int kitty_shm;                      // 1: the shared-memory query was answered OK; -1: with an error
    int max_w, max_h;                   // the largest sixel picture (XTSMGRAPHICS)
    int cell_w, cell_h;                 // one cell in pixels (CSI 6 ; h ; w t)
    int area_w, area_h;                 // the text area in pixels (CSI 4 ; h ; w t)
    long replies;                       // replies recognised and consumed
};

// Where and how large the picture is drawn on the terminal.
struct PixelPlace {
    int scale;                          // 1, 2, ...; 0: the terminal is too small for 1 : 1
    int left, top;                      // terminal cell of the picture's upper left corner, 0-based
    int cols, rows;                     // terminal cells the picture covers (in part at its right and bottom)
};

// ---- reply parser ----

// awaiting: 1 when queries have just been sent at now_ms.
void terminal_replies_init(TerminalReplies* r, int awaiting, uint32_t now_ms);
// Consumes the replies in n input bytes and writes what is not a reply to out (room for
// n + TERMINAL_REPLY_HOLD bytes); returns that count. A sequence split across calls is held until it
// ends; outside the wait for replies a lone Escape at the end is handed on at once (the key decoder
// times it).
size_t terminal_replies_feed(TerminalReplies* r, const uint8_t* in, size_t n, uint32_t now_ms, uint8_t* out);
// Time passing: a held lone Escape old enough is handed on (returned in out, room for
// TERMINAL_REPLY_HOLD), an unfinished sequence too old is dropped, and the wait for replies ends.
size_t terminal_replies_tick(TerminalReplies* r, uint32_t now_ms, uint8_t* out);

// ---- placement ----

// The largest whole scale of 640 x 400 (at most 4) within the terminal's pixels (cols x rows cells of
// cell_w x cell_h) and within max_w x max_h where not 0, centred on whole cells. A sixel image may not
// reach the last row (a graphics line feed into it scrolls the screen), so `sixel` keeps that row free.
PixelPlace terminal_pixels_place(int cols, int rows, int cell_w, int cell_h, int max_w, int max_h, int sixel);

// ---- encoders ----

// Both encode the cells drawn as the window draws them at `scale` (picture pixels 640 x 400 times
// the scale). Each returns the bytes written to out, 0 when they do not fit.

// Sixel: picture pixels [x0, x1) x [y0, y1) as one image with its upper left corner at the terminal
// cell (term_row, term_col), 0-based: the cursor is put there first. The 16 console colours are the
// registers, run-length coded; the colour shown most is the background and is not sent.
size_t terminal_sixel_encode(const DisplayCell* cells, int scale, int x0, int x1, int y0, int y1, int term_row,
                             int term_col, char* out, size_t capacity);

// Kitty: picture pixel rows [y0, y1) as raw RGB, three bytes a pixel, the whole width, top row first
// (what kitty reads from shared memory, with nothing to undo). Returns the size.
size_t terminal_kitty_rgb(const DisplayCell* cells, int scale, int y0, int y1, uint8_t* out, size_t capacity);
// Kitty: picture pixel rows [y0, y1) as a 4-bit PNG of the console colours, zlib-compressed. Writes
// the PNG itself (no escape sequences) and returns its size.
size_t terminal_kitty_png(const DisplayCell* cells, int scale, int y0, int y1, uint8_t* out, size_t capacity);
// The escape sequences carrying a PNG: the whole image transmitted and placed (full = 1) or an edit of
// its rows from pixel row y (full = 0), base64 in chunks.
size_t terminal_kitty_wrap(const uint8_t* png, size_t png_len, int full, int y, char* out, size_t capacity);
// The same through a shared-memory object of that name holding w x h pixels of raw RGB, placed at
// picture pixel (x, y) in an edit (the terminal unlinks it once read).
size_t terminal_kitty_wrap_shm(const char* shm_name, int x, int y, int w, int h, int full, char* out, size_t capacity);
