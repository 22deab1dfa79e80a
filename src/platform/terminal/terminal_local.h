// terminal_local.h -- what only the terminal display's files share: the session its renderers draw on
//
// The session owns the terminal: raw keys, the alternate screen, the title, the restore on every way
// out, the size in cells and pixels, and the input bytes (decoded into the display's key queue). A
// renderer turns cells into the bytes of one frame and hands them to terminal_session_write.
//
// Each host has one session file that implements the terminal_session_* calls below over its own
// terminal (posix/terminal_tty.cpp: a tty; windows/terminal_console.cpp: a console in virtual-terminal
// mode). What does not depend on the host (the sequences that switch the terminal to the show and
// back, what the environment says of the terminal, the detection queries, the input passed through
// the reply parser and the key decoder) is shared, in terminal_session.cpp.
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

// What the enter and restore sequences do; kept by the host, built by the shared code.
struct TerminalScreen {
    char title[128];                  // control bytes taken out
    int start_cols, start_rows;       // terminal size at open
    int grid_asked, grid_cols, grid_rows;   // a size asked for (undone on restore)
    int fullscreen_asked;
    int pictures, pictures_kitty;     // the pixel path has drawn (in kitty's protocol): the restore clears
};

enum { TERMINAL_SEQUENCE_BYTES = 512 };  // room for either sequence

// ---- shared by every host (terminal_session.cpp) ----

// The bytes that switch the terminal to the show (title, alternate screen, no cursor, no wrap, the
// size and full screen asked for) and back (ending any sequence a frame left open first); each
// returns its length, at most TERMINAL_SEQUENCE_BYTES.
int terminal_enter_sequence(const TerminalScreen* screen, char* out);
int terminal_restore_sequence(const TerminalScreen* screen, char* out);
// The request to resize to cols x rows cells (CSI 8 t); returns its length (under 32).
int terminal_size_sequence(int cols, int rows, char* out);
// Sets the title, control bytes taken out.
void terminal_screen_title(TerminalScreen* screen, const char* title);
// What the environment says: tmux or screen, terminals that name a picture protocol, and whether
// 24-bit colour is taken (KERV16_COLOURS=16 or 24 decides whatever the rest says).
void terminal_session_environment(TerminalSession* s);
// The detection queries: kitty's graphics query, the same through shared memory where shm_name is
// not null, XTSMGRAPHICS, the cell size when ask_cell, DA1 last. Returns their length (under 512).
int terminal_detect_queries(const char* shm_name, int ask_cell, char* out);
// The input path: replies to the queries are taken out, what is left goes through the key decoder
// into the display's key queue, and what the replies said reaches terminal_session.
void terminal_input_reset(int raw, int awaiting, uint32_t now_ms);
void terminal_input_feed(const uint8_t* bytes, size_t n, uint32_t now_ms);  // n may be 0: time passing
int terminal_input_pending_escape(void);
int terminal_input_awaiting(void);     // 1 while answers to the queries may still come
const TerminalReplies* terminal_input_replies(void);

// ---- each host's session file ----

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
// Puts bytes where the terminal can read them by name (kitty's shared memory), in one of a few
// slots; 0 where the host has no such memory or the slot is still taken. terminal_session_unshare
// removes every slot's object that the terminal never read.
int terminal_session_share(const uint8_t* bytes, size_t n, int slot, char* name, size_t size);
void terminal_session_unshare(int slots);

// ---- the pixel renderer (terminal_picture.cpp) ----

// Places the picture for the session's size in this protocol (TERMINAL_GRAPHICS_*); the next frame
// repaints. Returns the scale, 0 when the terminal is too small for 1 : 1.
// edits: 1 where the terminal edits the rows of an image in place (else kitty's image is sent whole).
int terminal_picture_begin(int protocol, int shm, int edits);
const PixelPlace* terminal_picture_place(void);
// The bytes of one frame (only what changed; 0 when nothing did or it cannot be sent now).
size_t terminal_picture_frame(const DisplayCell* cells, const char** bytes);
void terminal_picture_end(void);   // shared memory the terminal never read is released
