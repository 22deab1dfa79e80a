// display_null.cpp -- headless display: keeps the last frame in memory and takes injected keys
#include "platform/display.h"

#include <cstring>

// ---- state ----

enum { NULL_KEY_QUEUE = 256 };
static struct {
    DisplayCell cells[DISPLAY_CELLS];  // the last frame written
    long frames;                        // frames written
    int keys[NULL_KEY_QUEUE];           // injected keys, a ring
    int key_head, key_count;
} null_display;

// ---- internal functions ----

static int null_open(const char*) { return 1; }
static void null_set_grid(int, int, int) {}
static void null_write(const DisplayCell* cells)
{
    memcpy(null_display.cells, cells, sizeof null_display.cells);
    null_display.frames++;
}
static int null_key_waiting(void) { return null_display.key_count > 0; }
static int null_read_key(void)
{
    if (null_display.key_count == 0)
        return -1;
    int k = null_display.keys[null_display.key_head];
    null_display.key_head = (null_display.key_head + 1) % NULL_KEY_QUEUE;
    null_display.key_count--;
    return k;
}
// Nobody can press a key on a null display: a wait takes a queued key or returns at once.
static int null_wait_key(void) { return null_read_key(); }
static void null_close(void) {}

// ---- public functions ----

const DisplayDriver display_null_driver = {
    "null", null_open, null_set_grid, null_write, null_key_waiting, null_read_key, null_wait_key, null_close,
    nullptr,   // idle: the clock's own sleep, which advances a hand-set clock
};

const DisplayCell* display_null_cells(void) { return null_display.cells; }
long display_null_frames(void) { return null_display.frames; }

void display_null_push_key(int code)
{
    if (null_display.key_count == NULL_KEY_QUEUE)
        return;
    int at = (null_display.key_head + null_display.key_count) % NULL_KEY_QUEUE;
    null_display.keys[at] = code;
    null_display.key_count++;
}

void display_null_reset(void) { memset(&null_display, 0, sizeof null_display); }
