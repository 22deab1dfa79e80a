// terminal_local.h -- what only the terminal display's files share: the tty session its renderers draw on
//
// The session owns the terminal: raw keys, the alternate screen, the title, the signals and the
// restore on every way out, the size in cells and pixels, and the input bytes (decoded into the
// display's key queue). A renderer turns cells into the bytes of one frame and hands them to
// terminal_session_write.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/terminal.h"
#include "platform/terminal_pixels.h"

// ---- types ----

// What the session knows of the terminal; read by the renderers, written by the session only.
struct TerminalSession {
    int open;             // 1 between terminal_session_open and terminal_session_close
    int tty;              // 1: standard output is a terminal and has been switched to the show
    int cols, rows;       // size in cells (80 x 50 when not a terminal)
    int cell_w, cell_h;   // one cell's size in pixels; 0 when the terminal does not say
    int colours;          // TERMINAL_COLOURS_*: what the environment says the terminal takes
    int charset;          // TERMINAL_CHARSET_*: from the locale
    int changed;          // 1 when the screen must be drawn afresh (opened, resized, back from the background)
    // What the terminal said it draws (terminal_session_detect); 0 where it said nothing.
    int muxed;            // 1: inside tmux or screen, which keep their own picture of the screen
    int env_kitty;        // 1: the environment names a terminal of kitty's protocol
    int env_kitty_itself; // 1: it names kitty, which edits an image's rows in place (others may not)
    int env_sixel;        // 1: the environment names a terminal that prefers sixels
    int asked;            // 1: the detection queries went out
    int kitty;            // 1: kitty's graphics query was answered OK
    int kitty_shm;        // 1: and a picture in shared memory was read
    int sixel;            // 1: DA1 lists sixels
    int max_w, max_h;     // the largest sixel picture the terminal takes
    int answered;         // 1: DA1 came back (within the wait or later)
};

// ---- state ----

extern TerminalSession terminal_session;

// ---- functions ----

// Switches a terminal on standard output to the show (title, alternate screen, raw keys, signals);
// on a file or pipe only the quit signals are taken. Messages are held from here on.
void terminal_session_open(const char* title);
// Asks the terminal to become cols x rows cells (when it differs from what it had at open) and to go
// full screen; both are undone on restore. Best effort.
void terminal_session_request(int cols, int rows, int fullscreen);
// 1 when a frame may be written now: in the foreground and switched. Takes a resize or a return
// from the background into account first (the size is read again and `changed` set).
int terminal_session_ready(void);
// Writes one frame whole, with a stop held off until it is out; counts the write calls in *writes.
void terminal_session_write(const char* bytes, size_t n, long* writes);
void terminal_session_poll(void);       // input bytes to keys, never blocking; a quit signal as KEY_QUIT + signal
int terminal_session_wait(int ms);      // waits up to ms (-1: no limit) for input; 0 without a keyboard
void terminal_session_close(void);      // the terminal as it was; held messages stay held for the caller

// Sends the detection queries (kitty's graphics query, one through shared memory, XTSMGRAPHICS, the
// cell size where TIOCGWINSZ has none, DA1 last) and returns at once; replies are taken out of the
// input from then on.
void terminal_session_detect(void);
// Reads input (keys go to the key queue) until DA1 has answered or the clock passes until_ms.
void terminal_session_await(uint32_t until_ms);
// 1 while the terminal has not taken all of the last frame yet (bytes left in the tty's output queue).
int terminal_session_busy(void);
// What the restore must undo of the pixel path: kitty's image deleted, the screen cleared.
void terminal_session_pictures(int kitty);

// ---- the pixel renderer (terminal_picture.cpp) ----

// Places the picture for the session's size in this protocol (TERMINAL_GRAPHICS_*); the next frame
// repaints. Returns the scale, 0 when the terminal is too small for 1 : 1.
// edits: 1 where the terminal edits the rows of an image in place (else kitty's image is sent whole).
int terminal_picture_begin(int protocol, int shm, int edits);
const PixelPlace* terminal_picture_place(void);
// The bytes of one frame (only what changed; 0 when nothing did or it cannot be sent now).
size_t terminal_picture_frame(const DisplayCell* cells, const char** bytes);
void terminal_picture_end(void);   // shared memory the terminal never read is released
