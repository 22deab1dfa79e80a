// display_terminal.cpp -- the terminal display: the cells laid out as text on the tty session, one write per frame
#include "platform/terminal_local.h"

#include <cstdio>
#include <cstring>

#include "platform/clock.h"

// ---- state ----

static struct {
    int layout_wanted;                // DISPLAY_LAYOUT_*: --layout
    TerminalEncoder enc;              // the text layouts and what the terminal shows
    DisplayStats stats;
    char frame[TERMINAL_FRAME_BYTES]; // the one reusable frame buffer
} text;

// ---- internal functions ----

static int term_open(const DisplaySettings* settings)
{
    if (terminal_session.open)
        return 1;
    text.layout_wanted = settings->layout;
    memset(&text.stats, 0, sizeof text.stats);
    terminal_session_open(settings->title);
    terminal_encoder_init(&text.enc, terminal_session.cols, terminal_session.rows, terminal_session.colours,
                          terminal_session.charset);
    text.enc.layout_wanted = text.layout_wanted;
    text.enc.text = display_text();
    return 1;
}

static void term_set_grid(int cols, int rows, int fullscreen)
{
    if (!terminal_session.open)
        return;
    // A terminal smaller than the layout wants (two terminal cells per console cell unless the grid
    // is asked for) is asked to grow; one large enough is left as it is, and so is any size when
    // the compact layout is asked for, since it fits whatever the terminal has.
    if (text.layout_wanted != DISPLAY_LAYOUT_GRID)
        cols *= 2;
    int have_cols = text.enc.cols, have_rows = text.enc.rows;
    if (text.layout_wanted == DISPLAY_LAYOUT_COMPACT || (have_cols >= cols && have_rows >= rows)) {
        cols = have_cols;
        rows = have_rows;
    } else {
        cols = cols > have_cols ? cols : have_cols;
        rows = rows > have_rows ? rows : have_rows;
    }
    terminal_session_request(cols, rows, fullscreen);
}

static void term_write(const DisplayCell* cells)
{
    if (!terminal_session.open)
        return;
    DisplayStats* st = &text.stats;
    st->frames++;
    if (!terminal_session_ready())
        return;
    if (terminal_session.changed) {
        terminal_session.changed = 0;
        text.enc.cols = terminal_session.cols;
        text.enc.rows = terminal_session.rows;
        text.enc.cell_w = terminal_session.cell_w;
        text.enc.cell_h = terminal_session.cell_h;
        text.enc.repaint = 1;
    }
    size_t n = terminal_encode_frame(&text.enc, cells, text.frame, sizeof text.frame);
    if (n == 0)
        return;
    terminal_session_write(text.frame, n, &st->writes);
    st->bytes += (long long)n;
    if ((long)n > st->largest)
        st->largest = (long)n;
}

static int term_stats(DisplayStats* stats)
{
    *stats = text.stats;
    const TerminalEncoder* e = &text.enc;
    char cell[48] = "";
    if (e->cell_w > 0)
        snprintf(cell, sizeof cell, " of %d x %d pixels", e->cell_w, e->cell_h);
    snprintf(stats->detail, sizeof stats->detail, "layout %s in a terminal of %d x %d cells%s",
             display_layout_name(e->layout.kind), e->cols, e->rows, cell);
    return 1;
}

static int term_close(void)
{
    terminal_session_close();
    return 1;
}

// ---- public functions ----

// Draws on standard output. On a terminal it switches to the alternate screen with the keyboard raw;
// when standard output is not a terminal the frames are still written and nothing is switched.
extern const DisplayDriver display_terminal_driver;  // a row of the display table
const DisplayDriver display_terminal_driver = {
    .name = "terminal",
    .live = 1,
    .open = term_open,
    .set_grid = term_set_grid,
    .write_cells = term_write,
    .poll = terminal_session_poll,
    .wait = terminal_session_wait,
    .stats = term_stats,
    .close = term_close,
    .own_text = 1,
};
