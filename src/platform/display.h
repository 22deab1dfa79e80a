// display.h -- the cell display and its keys: what the engine needs of a screen of 80 x 50 cells
//
// Every output (the terminal, the window, a video capture, the Windows console, the null display) is
// a backend in a sibling file, chosen by name from the table of the build (displays_<platform>.cpp)
// and driven only through these calls. What a backend is given goes in as one DisplaySettings
// record; what it reports comes out as one DisplayStats record; what the user or the system asks
// (keys, a signal to quit) comes out of the one key queue below.
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

// Key codes as a console delivers them: Escape is 27, Backspace 8, Tab 9, Space 32; an arrow key or
// Home arrives as KEY_PREFIX then KEY_LEFT / KEY_RIGHT / KEY_UP / KEY_DOWN / KEY_HOME. KEY_QUIT + n is
// no key but the system asking the show to end (n: the signal that asked, to be raised again once the
// display is closed; 0 for none): read it as Escape.
enum {
    KEY_BACKSPACE = 8,
    KEY_TAB = 9,
    KEY_ESCAPE = 27,
    KEY_SPACE = 32,
    KEY_PREFIX = 224,
    KEY_HOME = 71,
    KEY_UP = 72,
    KEY_LEFT = 75,
    KEY_RIGHT = 77,
    KEY_DOWN = 80,
    KEY_QUIT = 0x1000,
};

// How a terminal lays the 80 x 50 cells out on its own cells (--layout); the other displays show the
// cells as they are and take only DISPLAY_LAYOUT_AUTO. Pixels: drawn as pictures, as the window draws them.
enum {
    DISPLAY_LAYOUT_AUTO = 0,      // chosen by the terminal's size, again after every resize
    DISPLAY_LAYOUT_WIDE = 1,      // each console cell two terminal cells of half blocks, in proportion
    DISPLAY_LAYOUT_GRID = 2,      // one terminal cell per console cell
    DISPLAY_LAYOUT_COMPACT = 3,   // the whole picture scaled into a smaller terminal
    DISPLAY_LAYOUT_TOO_SMALL = 4, // chosen only: the terminal cannot show the picture at all
    DISPLAY_LAYOUT_PIXELS = 5,    // the 8 x 8 font in the console colours, as pictures (kitty's protocol or sixels)
};

// Which picture protocol a terminal's pixel path speaks (--graphics).
enum {
    DISPLAY_GRAPHICS_AUTO = 0,    // what the terminal answers
    DISPLAY_GRAPHICS_KITTY = 1,   // kitty's graphics protocol
    DISPLAY_GRAPHICS_SIXEL = 2,   // DEC sixels
};

// What a display is given when it opens; each backend reads the fields that concern it.
struct DisplaySettings {
    const char* title;       // window or terminal title (display_open fills it)
    int layout;              // DISPLAY_LAYOUT_*: how a terminal lays the cells out
    int graphics;            // DISPLAY_GRAPHICS_*: the picture protocol of a terminal's pixel path
    int fps;                 // frames a second of a capture's video
    const char* video;       // the file a capture writes
    const char* soundtrack;  // muxed into a capture's video when the file is there
    int length_ms;           // the show's length in demo time, for a capture's progress (0: unknown)
    int scale;               // a capture's pixels per drawn pixel each way, 1 to DISPLAY_CAPTURE_SCALE_MAX (0: its default)
    int lossless;            // 1: a capture whose decoded frames are the drawing exactly
    const char* console;     // Windows: "classic", "vt" or "text" (--console), null for the host's own way
};
enum { DISPLAY_CAPTURE_SCALE_MAX = 6 };  // 3840 x 2400: the largest frame of H.264 level 5.2, which hardware decoders play

// Lines of text over the picture (the live mode's figures and status): plain ASCII, each in one
// colour. A display that draws the cells' glyphs shows them stamped into the cells (the top line on
// the first row, the bottom line on the last, cut at DISPLAY_COLS); the terminal, whose layouts draw
// the cells as blocks, sets them as text of its own over its picture, as wide as that is.
enum { DISPLAY_TEXT_TOP = 0, DISPLAY_TEXT_BOTTOM = 1, DISPLAY_TEXT_LINES = 2, DISPLAY_TEXT_MAX = 2 * DISPLAY_COLS };
struct DisplayText {
    char line[DISPLAY_TEXT_LINES][DISPLAY_TEXT_MAX + 1];  // empty: no line
    uint8_t attr[DISPLAY_TEXT_LINES];                 // background x 16 + foreground
};

// What a display reports at the end, for --stats.
struct DisplayStats {
    long frames;         // frames the display was handed
    long writes;         // write calls that carried frame bytes
    long long bytes;     // bytes those frames took
    long largest;        // the most bytes of one frame
    char detail[256];    // the display's own words on how it showed them (layout, size), or empty
};

// A display backend. Every operation may be null: it then does nothing (stats: the display keeps no
// count; wait: the display has no input, so the caller sleeps on the clock).
struct DisplayDriver {
    const char* name;                                    // the name the table and --stats know
    int live;                                            // 1: a person watches as it plays (paced, with sound)
    int (*open)(const DisplaySettings* settings);        // 1 when the display is usable
    void (*set_grid)(int cols, int rows, int fullscreen); // best effort; absence is no error
    void (*write_cells)(const DisplayCell* cells);       // all DISPLAY_CELLS cells at once, row-major
    void (*poll)(void);                                  // input that has arrived to display_push_key; never blocks
    int (*wait)(int ms);                                 // waits up to ms (-1: no limit) for input; 0 when none can come
    int (*stats)(DisplayStats* stats);                   // 1 when filled
    int (*close)(void);                                  // restores what open changed; 0 when its output failed
    int own_text;                                        // 1: shows the text lines itself (display_text)
};

enum { DISPLAY_KEY_QUEUE = 64 };  // keys decoded and not yet read

// ---- the backends ----

// The displays of this build, ending with null; the first is the platform's own screen.
extern const DisplayDriver* const display_table[];
extern const DisplayDriver display_null_driver;  // keeps the last frame in memory; also the tests' harness

// ---- public functions ----

// Chooses the display by name from display_table, null for the first, and keeps the settings it
// will open with. 0 when this build has no display of that name (nothing changes then).
int display_select(const char* name, const DisplaySettings* settings);
void display_use(const DisplayDriver* driver);  // a driver of the caller's own (tests, tools); null: the null display
const DisplayDriver* display_current(void);
int display_open(const char* title);
void display_set_grid(int cols, int rows, int fullscreen);
void display_write(const DisplayCell* cells);
int display_key_waiting(void);
int display_read_key(void);   // one key code; -1 when none is waiting
int display_wait_key(void);   // blocks for one key; -1 at once when no input can come
int display_keyboard(void);   // 1 while keys can come (0: output only, input closed or not a keyboard)
void display_idle(int ms);    // between paced frames: sleeps, but wakes for a key
int display_stats(DisplayStats* stats);  // 0 when the display keeps no count of its own
int display_close(void);      // 0 when what the display wrote failed (a capture's video)

// The one key queue. Backends push what they read; a full queue drops the newest keys.
int display_push_key(int code);                   // 0 when dropped
int display_push_keys(const int* codes, int n);   // all or none: an arrow's prefix never stands alone
void display_clear_keys(void);

// The text lines over the picture, from the next frame on. Characters outside printable ASCII show
// as '?'; a line is cut at DISPLAY_TEXT_MAX. Null or "" takes the line away.
void display_set_text(int line, const char* text, uint8_t attr);
const DisplayText* display_text(void);
// The text lines written into a frame's cells (what display_write does for displays that draw glyphs).
void display_stamp_text(DisplayCell* cells);

const char* display_layout_name(int layout);  // "auto", "wide", "grid", "compact", "too small", "pixels"
int display_layout_parse(const char* name);   // DISPLAY_LAYOUT_* from its name; -1 for none

// Null display: keeps the last frame (tests, tools, headless runs); keys come from display_push_key.
const DisplayCell* display_null_cells(void);   // the last DISPLAY_CELLS cells written
long display_null_frames(void);                 // frames written since start-up
void display_null_reset(void);                  // clear cells, counters and the key queue
