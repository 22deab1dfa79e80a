// display_null.cpp -- headless display: keeps the last frame in memory; keys come only from display_push_key
#include "platform/display.h"

#include <cstring>

// ---- state ----

static struct {
    DisplayCell cells[DISPLAY_CELLS];  // the last frame written
    long frames;                        // frames written
} null_display;

// ---- internal functions ----

static void null_write(const DisplayCell* cells)
{
    memcpy(null_display.cells, cells, sizeof null_display.cells);
    null_display.frames++;
}

// ---- public functions ----

// Nobody can press a key here: waiting takes a queued key or returns at once, and idle time passes
// on the clock's own sleep, which advances a hand-set clock.
const DisplayDriver display_null_driver = {
    .name = "null",
    .live = 0,
    .open = nullptr,
    .set_grid = nullptr,
    .write_cells = null_write,
    .poll = nullptr,
    .wait = nullptr,
    .stats = nullptr,
    .close = nullptr,
    .own_text = 0,
};

const DisplayCell* display_null_cells(void) { return null_display.cells; }
long display_null_frames(void) { return null_display.frames; }

void display_null_reset(void)
{
    memset(&null_display, 0, sizeof null_display);
    display_clear_keys();
}
