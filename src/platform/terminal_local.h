// terminal_local.h -- what only the terminal display's files share: the tty session its renderers draw on
//
// The session owns the terminal: raw keys, the alternate screen, the title, the signals and the
// restore on every way out, the size in cells and pixels, and the input bytes (decoded into the
// display's key queue). A renderer turns cells into the bytes of one frame and hands them to
// terminal_session_write.
#pragma once
#include <cstddef>

#include "platform/terminal.h"

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
