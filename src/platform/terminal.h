// terminal.h -- the terminal display backend: its driver, the frame encoder and the key decoder
//
// The encoder turns 80 x 50 console cells into the bytes a terminal needs to show them; the key
// decoder turns the bytes a terminal sends into console key codes. Both are pure (no I/O, no
// clock of their own) so that tests, the renderer and benchmarks can use them on memory.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/display.h"

// ---- types ----

enum {
    TERMINAL_COLOURS_16 = 0,     // the 16 ANSI colours (30-37, 90-97, 40-47, 100-107)
    TERMINAL_COLOURS_24BIT = 1,  // the console palette's exact values (38;2;r;g;b)

    TERMINAL_CHARSET_UTF8 = 0,   // code page 437 glyphs as Unicode in UTF-8
    TERMINAL_CHARSET_ASCII = 1,  // a plain ASCII look-alike of every glyph

    // Room one frame can ever need: per cell a cursor move, two 24-bit colours and a glyph with
    // its variation selector (under 64 bytes), plus the frame's opening and closing sequences.
    TERMINAL_FRAME_BYTES = DISPLAY_CELLS * 64 + 256,
};

// What the terminal shows and how to talk to it. Fill with terminal_encoder_init; change cols,
// rows (then set repaint) when the terminal is resized.
struct TerminalEncoder {
    int cols, rows;                     // terminal size in cells
    int colours;                        // TERMINAL_COLOURS_*
    int charset;                        // TERMINAL_CHARSET_*
    int repaint;                        // 1: the next frame clears the screen and sends every cell
    DisplayCell shown[DISPLAY_CELLS];   // the grid as the terminal shows it (valid unless repaint)
    int cursor_x, cursor_y;             // terminal cursor, 0-based; -1 when not known
    int fg, bg;                         // console colours in effect; -1 when not known
    int cells_sent;                     // cells written by the last frame
};

enum {
    TERMINAL_KEY_QUEUE = 64,            // decoded keys not yet read
    TERMINAL_ESCAPE_MS = 30,            // a lone Escape waits this long for a following byte
};

// Key decoder: bytes in, console key codes out (Escape 27; arrows as 224 then 75 or 77).
struct TerminalKeys {
    int state;                          // where in an escape sequence the decoder stands
    int params;                         // 1 when the sequence so far has parameter bytes
    int skip;                           // raw bytes still to drop (mouse reports)
    uint32_t escape_at;                 // ms when the pending Escape arrived
    int queue[TERMINAL_KEY_QUEUE];      // decoded keys, a ring
    int head, count;
};

// Counters of the terminal driver, for --stats.
struct TerminalStats {
    long frames;                        // frames handed to the driver
    long writes;                        // write calls that sent frame bytes
    long long bytes;                    // frame bytes written
    long largest;                       // most bytes of one frame
    uint32_t first_ms, last_ms;         // clock at the first and last frame
};

// ---- frame encoder ----

void terminal_encoder_init(TerminalEncoder* enc, int cols, int rows, int colours, int charset);

// Encodes one frame into out and returns its length. Only cells that differ from what the terminal
// shows are sent (every cell after a repaint); a frame with no change gives 0 bytes. The grid is
// centred on a larger terminal and clipped on a smaller one. Needs capacity >= TERMINAL_FRAME_BYTES;
// with less it returns 0 and changes nothing.
size_t terminal_encode_frame(TerminalEncoder* enc, const DisplayCell* cells, char* out, size_t capacity);

// The bytes of code page 437 character ch as sent in the given charset; returns their count (1-6).
int terminal_glyph(uint8_t ch, int charset, char* out);

// ---- key decoder ----

void terminal_keys_init(TerminalKeys* keys);
void terminal_keys_feed(TerminalKeys* keys, const uint8_t* bytes, size_t n, uint32_t now_ms);
void terminal_keys_tick(TerminalKeys* keys, uint32_t now_ms);  // a lone Escape ripe by now becomes 27
int terminal_keys_pending_escape(const TerminalKeys* keys);    // 1 while a lone Escape may still grow
int terminal_keys_waiting(const TerminalKeys* keys);
int terminal_keys_read(TerminalKeys* keys);                     // -1 when none is waiting

// ---- the driver ----

// Draws on standard output. On a terminal it switches to the alternate screen with the keyboard raw;
// when standard output is not a terminal the frames are still written and nothing is switched.
extern const DisplayDriver display_terminal_driver;

void terminal_get_stats(TerminalStats* stats);
// The signal (SIGINT, SIGTERM, SIGHUP) that asked the show to end, 0 if none. Such a signal arrives
// as an Escape key; the program re-raises it once the terminal is restored, so its exit status tells.
int terminal_quit_signal(void);
