// display_terminal.cpp -- the terminal display: the cells as text layouts or as pictures on the tty session, one write per frame
//
// Where the terminal draws pictures (it says so when asked, within half a second) the pixel renderer
// shows the cells exactly as the window does; elsewhere, inside tmux or screen, in a terminal too small
// for the picture at 1 : 1, and when a text layout is asked for, the text layouts do.
#include "platform/terminal/terminal_local.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/clock.h"

// ---- state ----

enum {
    DETECT_MS = 500,   // how long the answers to the detection queries are waited for
};

static struct {
    int layout_wanted;                // DISPLAY_LAYOUT_*: --layout
    int graphics_wanted;              // DISPLAY_GRAPHICS_*: --graphics
    TerminalEncoder enc;              // the text layouts and what the terminal shows
    DisplayStats stats;
    char frame[TERMINAL_FRAME_BYTES]; // the one reusable frame buffer
    // the pixel path
    int decided;                      // 1 once the protocol is chosen (after the detection's wait)
    uint32_t detect_until;            // clock when the wait for answers ends
    int protocol;                     // TERMINAL_GRAPHICS_*: what pictures are sent in; NONE: text only
    int shm;                          // 1: kitty pictures through shared memory
    int pixels;                       // 1: the pixel renderer draws now (placed at scale 1 or more)
    int drawn_pixels;                 // 1: a picture may be on the screen
    long sent, skipped;               // pixel frames written, and skipped while the terminal was busy
    int grid_pending;                 // 1: a grid request waits for the protocol to be chosen
    int grid_cols, grid_rows, grid_fullscreen;
} text;

static void term_set_grid(int cols, int rows, int fullscreen);

// ---- internal functions ----

// Whether pictures may be drawn at all: a text layout asked for, or tmux and screen, say no.
static int pictures_possible(void)
{
    const TerminalSession* s = &terminal_session;
    if (!s->tty || (text.layout_wanted != DISPLAY_LAYOUT_AUTO && text.layout_wanted != DISPLAY_LAYOUT_PIXELS))
        return 0;
    return text.layout_wanted == DISPLAY_LAYOUT_PIXELS || text.graphics_wanted != DISPLAY_GRAPHICS_AUTO || !s->muxed;
}

// Chooses the protocol once the answers are in (or the wait is over): what --graphics says; else
// kitty's where it answered (sixels first in the terminals that prefer them); else sixels where DA1
// lists them; else, when pixels are asked for, what the environment suggests.
static void decide(void)
{
    if (text.decided)
        return;
    const TerminalSession* s = &terminal_session;
    terminal_session_await(text.detect_until);
    text.decided = 1;
    text.protocol = TERMINAL_GRAPHICS_NONE;
    if (!pictures_possible())
        return;
    if (text.graphics_wanted == DISPLAY_GRAPHICS_KITTY)
        text.protocol = TERMINAL_GRAPHICS_KITTY;
    else if (text.graphics_wanted == DISPLAY_GRAPHICS_SIXEL)
        text.protocol = TERMINAL_GRAPHICS_SIXEL;
    else if (s->kitty && !(s->env_sixel && s->sixel))
        text.protocol = TERMINAL_GRAPHICS_KITTY;
    else if (s->sixel)
        text.protocol = TERMINAL_GRAPHICS_SIXEL;
    else if (text.layout_wanted == DISPLAY_LAYOUT_PIXELS)
        text.protocol = s->env_kitty ? TERMINAL_GRAPHICS_KITTY : TERMINAL_GRAPHICS_SIXEL;
    // KERV16_SHM=0 sends kitty's pictures inline even where shared memory works (as over SSH).
    const char* shm = getenv("KERV16_SHM");
    text.shm = text.protocol == TERMINAL_GRAPHICS_KITTY && s->kitty_shm && !(shm && strcmp(shm, "0") == 0);
    terminal_session.changed = 1;
    if (text.grid_pending) {
        text.grid_pending = 0;
        term_set_grid(text.grid_cols, text.grid_rows, text.grid_fullscreen);
    }
}

static int term_open(const DisplaySettings* settings)
{
    if (terminal_session.open)
        return 1;
    text.layout_wanted = settings->layout;
    text.graphics_wanted = settings->graphics;
    text.decided = text.pixels = text.drawn_pixels = 0;
    text.protocol = TERMINAL_GRAPHICS_NONE;
    text.sent = text.skipped = 0;
    text.grid_pending = 0;
    memset(&text.stats, 0, sizeof text.stats);
    terminal_session_open(settings->title);
    // The text layouts take over where pictures are not drawn (a forced pixel layout too small for 1 : 1).
    int text_layout = text.layout_wanted == DISPLAY_LAYOUT_PIXELS ? DISPLAY_LAYOUT_AUTO : text.layout_wanted;
    terminal_encoder_init(&text.enc, terminal_session.cols, terminal_session.rows, terminal_session.colours,
                          terminal_session.charset);
    text.enc.layout_wanted = text_layout;
    text.enc.text = display_text();
    if (pictures_possible()) {
        terminal_session_detect();
        text.detect_until = clock_ticks() + DETECT_MS;
    } else {
        text.decided = 1;
    }
    return 1;
}

static void term_set_grid(int cols, int rows, int fullscreen)
{
    if (!terminal_session.open)
        return;
    if (!text.decided) {
        // Asked before the answers are in: done once the protocol is chosen, while the show loads.
        text.grid_pending = 1;
        text.grid_cols = cols;
        text.grid_rows = rows;
        text.grid_fullscreen = fullscreen;
        return;
    }
    if (text.protocol != TERMINAL_GRAPHICS_NONE) {
        // Pictures take the terminal as it is: only full screen is asked for.
        terminal_session_request(text.enc.cols, text.enc.rows, fullscreen);
        return;
    }
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

static void count_frame(size_t n)
{
    DisplayStats* st = &text.stats;
    st->bytes += (long long)n;
    if ((long)n > st->largest)
        st->largest = (long)n;
}

// A frame as pictures: skipped while the terminal has not taken the last one, so the show keeps time.
static void write_pixels(const DisplayCell* cells)
{
    if (terminal_session_busy()) {
        text.skipped++;
        return;
    }
    const char* bytes;
    size_t n = terminal_picture_frame(cells, &bytes);
    if (n == 0)
        return;
    if (!text.drawn_pixels)
        terminal_session_pictures(text.protocol == TERMINAL_GRAPHICS_KITTY);
    text.drawn_pixels = 1;
    terminal_session_write(bytes, n, &text.stats.writes);
    text.sent++;
    count_frame(n);
}

static void term_write(const DisplayCell* cells)
{
    if (!terminal_session.open)
        return;
    DisplayStats* st = &text.stats;
    st->frames++;
    decide();
    if (!terminal_session_ready())
        return;
    if (terminal_session.changed) {
        terminal_session.changed = 0;
        text.enc.cols = terminal_session.cols;
        text.enc.rows = terminal_session.rows;
        text.enc.cell_w = terminal_session.cell_w;
        text.enc.cell_h = terminal_session.cell_h;
        text.enc.repaint = 1;
        int was_pixels = text.pixels;
        text.pixels = text.protocol != TERMINAL_GRAPHICS_NONE && terminal_picture_begin(text.protocol, text.shm, terminal_session.env_kitty_itself) > 0;
        if (was_pixels && !text.pixels && text.protocol == TERMINAL_GRAPHICS_KITTY) {
            // Too small for pictures now: the text layouts clear the screen, kitty's image goes first.
            char del[64];
            int n = snprintf(del, sizeof del, "\x1b_Ga=d,d=I,i=%d,q=2\x1b\\", TERMINAL_KITTY_IMAGE_ID);
            terminal_session_write(del, (size_t)n, nullptr);
        }
    }
    if (text.pixels) {
        // A picture carries the text lines in its cells, as the window draws them.
        const DisplayText* lines = display_text();
        if (lines->line[DISPLAY_TEXT_TOP][0] || lines->line[DISPLAY_TEXT_BOTTOM][0]) {
            static DisplayCell stamped[DISPLAY_CELLS];
            memcpy(stamped, cells, sizeof stamped);
            display_stamp_text(stamped);
            cells = stamped;
        }
        write_pixels(cells);
        return;
    }
    size_t n = terminal_encode_frame(&text.enc, cells, text.frame, sizeof text.frame);
    if (n == 0)
        return;
    terminal_session_write(text.frame, n, &st->writes);
    count_frame(n);
}

static int term_stats(DisplayStats* stats)
{
    *stats = text.stats;
    const TerminalEncoder* e = &text.enc;
    char cell[48] = "";
    if (e->cell_w > 0)
        snprintf(cell, sizeof cell, " of %d x %d pixels", e->cell_w, e->cell_h);
    if (text.pixels) {
        const PixelPlace* place = terminal_picture_place();
        snprintf(stats->detail, sizeof stats->detail,
                 "layout pixels (%s%s, scale %d) in a terminal of %d x %d cells%s; %ld frames sent, %ld skipped "
                 "(terminal busy)",
                 text.protocol == TERMINAL_GRAPHICS_KITTY ? "kitty" : "sixel", text.shm ? ", shared memory" : "",
                 place->scale, e->cols, e->rows, cell, text.sent, text.skipped);
        return 1;
    }
    snprintf(stats->detail, sizeof stats->detail, "layout %s in a terminal of %d x %d cells%s",
             display_layout_name(e->layout.kind), e->cols, e->rows, cell);
    return 1;
}

static int term_close(void)
{
    terminal_session_close();
    terminal_picture_end();
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
