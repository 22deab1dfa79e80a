// display.cpp -- the chosen display backend, its settings, the one key queue and the layout names
#include "platform/display.h"

#include "platform/clock.h"

#include <cstring>

// ---- state ----

static const DisplayDriver* driver = &display_null_driver;
static DisplaySettings settings;  // what the chosen display opens with

// Keys read by any backend, oldest first.
static struct {
    int code[DISPLAY_KEY_QUEUE];
    int head, count;
} keys;

static const char* const LAYOUT_NAMES[] = {"auto", "wide", "grid", "compact", "too small", "pixels"};

static DisplayText text;                     // the lines over the picture
static DisplayCell stamped[DISPLAY_CELLS];   // a frame with them, for displays that draw glyphs

// ---- internal functions ----

static void poll_input(void)
{
    if (driver->poll)
        driver->poll();
}

static int pop_key(void)
{
    if (keys.count == 0)
        return -1;
    int k = keys.code[keys.head];
    keys.head = (keys.head + 1) % DISPLAY_KEY_QUEUE;
    keys.count--;
    return k;
}

// ---- public functions ----

int display_select(const char* name, const DisplaySettings* wanted)
{
    for (int i = 0; display_table[i]; i++)
        if (!name || strcmp(display_table[i]->name, name) == 0) {
            driver = display_table[i];
            settings = wanted ? *wanted : DisplaySettings{};
            return 1;
        }
    return 0;
}

void display_use(const DisplayDriver* d)
{
    driver = d ? d : &display_null_driver;
    settings = DisplaySettings{};
}

const DisplayDriver* display_current(void) { return driver; }

int display_open(const char* title)
{
    settings.title = title;
    return driver->open ? driver->open(&settings) : 1;
}

void display_set_grid(int cols, int rows, int fullscreen)
{
    if (driver->set_grid)
        driver->set_grid(cols, rows, fullscreen);
}

void display_write(const DisplayCell* cells)
{
    if (!driver->write_cells)
        return;
    if (!driver->own_text && (text.line[DISPLAY_TEXT_TOP][0] || text.line[DISPLAY_TEXT_BOTTOM][0])) {
        memcpy(stamped, cells, sizeof stamped);
        display_stamp_text(stamped);
        cells = stamped;
    }
    driver->write_cells(cells);
}

int display_key_waiting(void)
{
    poll_input();
    return keys.count > 0;
}

int display_read_key(void)
{
    poll_input();
    return pop_key();
}

int display_wait_key(void)
{
    for (;;) {
        poll_input();
        if (keys.count)
            return pop_key();
        if (!driver->wait || !driver->wait(-1))
            return -1;
    }
}

int display_keyboard(void)
{
    return driver->wait && driver->wait(0);
}

void display_idle(int ms)
{
    if (ms <= 0)
        return;
    poll_input();
    if (keys.count)
        return;
    if (driver->wait && driver->wait(ms))
        poll_input();
    else
        clock_sleep((uint32_t)ms);
}

int display_stats(DisplayStats* stats)
{
    memset(stats, 0, sizeof *stats);
    return driver->stats ? driver->stats(stats) : 0;
}

int display_close(void) { return driver->close ? driver->close() : 1; }

int display_push_key(int code) { return display_push_keys(&code, 1); }

int display_push_keys(const int* codes, int n)
{
    if (n < 0 || keys.count + n > DISPLAY_KEY_QUEUE)
        return 0;   // nobody reads: later keys are dropped, never overwrite earlier ones
    for (int i = 0; i < n; i++)
        keys.code[(keys.head + keys.count++) % DISPLAY_KEY_QUEUE] = codes[i];
    return 1;
}

void display_clear_keys(void) { keys.head = keys.count = 0; }

void display_set_text(int line, const char* s, uint8_t attr)
{
    if (line < 0 || line >= DISPLAY_TEXT_LINES)
        return;
    char* out = text.line[line];
    int n = 0;
    for (; s && s[n] && n < DISPLAY_TEXT_MAX; n++)
        out[n] = s[n] >= 32 && s[n] < 127 ? s[n] : '?';
    out[n] = 0;
    text.attr[line] = attr;
}

const DisplayText* display_text(void) { return &text; }

void display_stamp_text(DisplayCell* cells)
{
    static const int ROW[DISPLAY_TEXT_LINES] = {0, DISPLAY_ROWS - 1};
    for (int line = 0; line < DISPLAY_TEXT_LINES; line++) {
        if (!text.line[line][0])
            continue;
        // A bar across the whole row, so that the text reads on any picture.
        DisplayCell* row = cells + ROW[line] * DISPLAY_COLS;
        int n = (int)strlen(text.line[line]);
        for (int i = 0; i < DISPLAY_COLS; i++)
            row[i] = DisplayCell{(uint8_t)(i < n ? text.line[line][i] : ' '), text.attr[line]};
    }
}

const char* display_layout_name(int layout)
{
    return layout >= 0 && layout < (int)(sizeof LAYOUT_NAMES / sizeof *LAYOUT_NAMES) ? LAYOUT_NAMES[layout] : "?";
}

int display_layout_parse(const char* name)
{
    for (int i = DISPLAY_LAYOUT_AUTO; i <= DISPLAY_LAYOUT_PIXELS; i++)
        if (i != DISPLAY_LAYOUT_TOO_SMALL && name && strcmp(name, LAYOUT_NAMES[i]) == 0)
            return i;
    return -1;
}
