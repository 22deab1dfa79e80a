// display.h -- the cell display, keyboard, and the messages held while it shows: what the engine needs of a screen of 80 x 50 cells
#pragma once
#include <cstdint>
#include <cstdio>

#include "platform/msg.h"

// ---- types ----

// One console cell: a code page 437 character byte and an attribute byte (background x 16 + foreground).
struct DisplayCell {
    uint8_t ch;
    uint8_t attr;
};

enum {
    DISPLAY_COLS = 80,
    DISPLAY_ROWS = 50,
    DISPLAY_CELLS = DISPLAY_COLS * DISPLAY_ROWS,
};

// Key codes as a console delivers them: Escape is 27; an arrow key arrives as KEY_PREFIX then KEY_LEFT / KEY_RIGHT.
enum {
    KEY_ESCAPE = 27,
    KEY_PREFIX = 224,
    KEY_LEFT = 75,
    KEY_RIGHT = 77,
};

// A display backend. Backends are sibling files (display_terminal.cpp, display_null.cpp, ...);
// the program picks one at start-up with display_use.
struct DisplayDriver {
    const char* name;
    int (*open)(const char* title);                 // 1 when the display is usable
    void (*set_grid)(int cols, int rows, int fullscreen); // best effort; absence is no error
    void (*write_cells)(const DisplayCell* cells);  // all DISPLAY_CELLS cells at once, row-major
    int (*key_waiting)(void);                       // non-blocking
    int (*read_key)(void);                          // one key code; -1 when none is waiting
    int (*wait_key)(void);                          // blocks for one key; returns at once without a keyboard
    void (*close)(void);                            // restores whatever open changed
    // Waits up to ms milliseconds, returning early when a key arrives; null: the clock's own sleep.
    void (*idle)(int ms);
};

extern const DisplayDriver display_null_driver;

// ---- public functions ----

void display_use(const DisplayDriver* driver);  // before display_open; the null display when never called
const DisplayDriver* display_current(void);
int display_open(const char* title);
void display_set_grid(int cols, int rows, int fullscreen);
void display_write(const DisplayCell* cells);
int display_key_waiting(void);
int display_read_key(void);
int display_wait_key(void);
void display_idle(int ms);   // between paced frames: sleeps, but wakes for a key
void display_close(void);

// Null display: keeps the last frame, takes injected keys (tests, tools, headless runs).
const DisplayCell* display_null_cells(void);   // the last DISPLAY_CELLS cells written
long display_null_frames(void);                 // frames written since start-up
void display_null_push_key(int code);           // queue a key for key_waiting / read_key
void display_null_reset(void);                  // empty the key queue, clear cells and counters
