// terminal_picture.cpp -- the terminal's pixel renderer: the cells as the window draws them, sent as kitty or sixel pictures of what changed
//
// The picture is 640 x 400 pixels times the placement's scale, on whole cells, centred. A repaint
// clears the screen (and kitty's image) and sends the whole picture; later frames send only the rows
// of cells that changed: kitty as an edit of the one image, sixel as images over those rows alone.
#include "platform/terminal/terminal_local.h"

#include <cstdio>
#include <cstring>

// ---- types ----

enum {
    PICTURE_FRAME_BYTES = 8 << 20,   // a whole picture at scale 4 in either protocol, with room to spare
    PICTURE_PNG_BYTES = 4 << 20,
    SIXEL_GAP_ROWS = 1,              // changed rows closer than this go into one sixel image (an unchanged row
                                     // costs more than the header of another image)
    KITTY_GAP_ROWS = 2,              // changed rows closer than this go into one kitty edit
    SHM_SLOTS = 7,                   // shared-memory objects the terminal may not have read yet
    CANVAS_BYTES = VGA_PIXELS_W * VGA_PIXELS_H * 3 * 16,   // the picture in raw RGB at scale 4
};

// ---- state ----

static struct {
    int protocol;                     // TERMINAL_GRAPHICS_KITTY or _SIXEL
    int shm;                          // 1: kitty pictures go through shared memory
    int edits;                        // 1: kitty edits the changed rows of its image; 0: the image goes whole
    PixelPlace place;
    int repaint;                      // 1: the next frame clears and sends the whole picture
    DisplayCell shown[DISPLAY_CELLS]; // what the terminal shows (valid unless repaint)
    int shm_next;                     // the slot the next picture takes
    char frame[PICTURE_FRAME_BYTES];
    uint8_t png[PICTURE_PNG_BYTES];
    // kitty through shared memory: the picture in raw RGB, each row of cells drawn once and kept while
    // its cells stay as they were
    uint8_t canvas[CANVAS_BYTES];
    uint8_t gather[CANVAS_BYTES];     // the changed columns of a run of rows, side by side
    DisplayCell canvas_cells[DISPLAY_CELLS];
    int canvas_row_ok[DISPLAY_ROWS];  // 1: the row of cells is drawn in the canvas as canvas_cells say
} pic;

// ---- internal functions ----

static char* put(char* p, const char* s)
{
    size_t n = strlen(s);
    memcpy(p, s, n);
    return p + n;
}

// Kitty: rows of cells [r0, r1) as the whole image (full) or an edit of it (through shared memory only
// the columns of cells [c0, c1)). 0 bytes when it cannot go.
static size_t kitty_rows(const DisplayCell* cells, int full, int r0, int r1, int c0, int c1, char* p, size_t room)
{
    int scale = pic.place.scale, cell = VGA_GLYPH * scale;
    if (pic.shm) {
        // Raw pixels the terminal reads from memory: nothing to compress or to encode.
        size_t row = (size_t)VGA_PIXELS_W * scale * 3, band = row * (size_t)cell;
        for (int r = r0; r < r1; r++) {
            const DisplayCell* c = cells + r * DISPLAY_COLS;
            if (pic.canvas_row_ok[r] && memcmp(c, pic.canvas_cells + r * DISPLAY_COLS, sizeof(DisplayCell) * DISPLAY_COLS) == 0)
                continue;
            terminal_kitty_rgb(cells, scale, r * cell, (r + 1) * cell, pic.canvas + band * (size_t)r, band);
            memcpy(pic.canvas_cells + r * DISPLAY_COLS, c, sizeof(DisplayCell) * DISPLAY_COLS);
            pic.canvas_row_ok[r] = 1;
        }
        const uint8_t* bytes = pic.canvas + band * (size_t)r0;
        int x = c0 * cell, w = (c1 - c0) * cell, h = (r1 - r0) * cell;
        if (w < VGA_PIXELS_W * scale) {
            for (int y = 0; y < h; y++)
                memcpy(pic.gather + (size_t)y * w * 3, bytes + (size_t)y * row + (size_t)x * 3, (size_t)w * 3);
            bytes = pic.gather;
        }
        char name[64];
        if (!terminal_session_share(bytes, (size_t)w * h * 3, pic.shm_next, name, sizeof name))
            return 0;
        pic.shm_next = (pic.shm_next + 1) % SHM_SLOTS;
        return terminal_kitty_wrap_shm(name, x, r0 * cell, w, h, full, p, room);
    }
    size_t len = terminal_kitty_png(cells, scale, r0 * cell, r1 * cell, pic.png, sizeof pic.png);
    if (!len)
        return 0;
    return terminal_kitty_wrap(pic.png, len, full, r0 * cell, p, room);
}

// The run of changed rows that starts at row r (changed rows fewer than gap apart joined) ends before
// *stop; [*c0, *c1) are the columns that changed in it (every column when all is drawn again).
static void changed_run(const DisplayCell* cells, const int* row_changed, int r, int gap, int* stop, int* c0, int* c1)
{
    int end = r + 1;
    for (int k = r + 1; k < DISPLAY_ROWS && k < end + gap; k++)
        if (row_changed[k])
            end = k + 1;
    int lo = DISPLAY_COLS, hi = 0;
    for (int k = r; k < end; k++) {
        const DisplayCell* a = cells + k * DISPLAY_COLS;
        const DisplayCell* b = pic.shown + k * DISPLAY_COLS;
        for (int c = 0; c < DISPLAY_COLS; c++)
            if (pic.repaint || a[c].ch != b[c].ch || a[c].attr != b[c].attr) {
                lo = c < lo ? c : lo;
                hi = c + 1 > hi ? c + 1 : hi;
            }
    }
    *stop = end;
    *c0 = lo;
    *c1 = hi;
}

// ---- public functions ----

int terminal_picture_begin(int protocol, int shm, int edits)
{
    const TerminalSession* s = &terminal_session;
    pic.protocol = protocol;
    pic.shm = protocol == TERMINAL_GRAPHICS_KITTY && shm;
    pic.edits = edits;
    pic.place = terminal_pixels_place(s->cols, s->rows, s->cell_w, s->cell_h, protocol == TERMINAL_GRAPHICS_SIXEL ? s->max_w : 0,
                                      protocol == TERMINAL_GRAPHICS_SIXEL ? s->max_h : 0, protocol == TERMINAL_GRAPHICS_SIXEL);
    pic.repaint = 1;
    memset(pic.canvas_row_ok, 0, sizeof pic.canvas_row_ok);   // the scale may have changed
    return pic.place.scale;
}

const PixelPlace* terminal_picture_place(void) { return &pic.place; }

size_t terminal_picture_frame(const DisplayCell* cells, const char** bytes)
{
    const TerminalSession* s = &terminal_session;
    int scale = pic.place.scale, cell = VGA_GLYPH * scale;
    char* p = pic.frame;
    char* end = pic.frame + sizeof pic.frame;
    *bytes = pic.frame;
    // Rows of cells that changed, and the columns they changed in.
    int first = DISPLAY_ROWS, last = -1;
    static int row_changed[DISPLAY_ROWS];
    for (int r = 0; r < DISPLAY_ROWS; r++) {
        row_changed[r] = pic.repaint ||
                         memcmp(cells + r * DISPLAY_COLS, pic.shown + r * DISPLAY_COLS, sizeof(DisplayCell) * DISPLAY_COLS) != 0;
        if (row_changed[r]) {
            first = r < first ? r : first;
            last = r;
        }
    }
    if (last < 0)
        return 0;
    p = put(p, "\x1b[?2026h");
    if (pic.repaint) {
        // The earlier picture goes whole, wherever it was: no ghost after a resize.
        if (pic.protocol == TERMINAL_GRAPHICS_KITTY)
            p += snprintf(p, 64, "\x1b_Ga=d,d=I,i=%d,q=2\x1b\\", TERMINAL_KITTY_IMAGE_ID);
        p = put(p, "\x1b[0m\x1b[2J");
    }
    size_t n = 0;
    if (pic.protocol == TERMINAL_GRAPHICS_KITTY) {
        // Where the terminal may not edit an image, every frame replaces it whole (same id, same place).
        int whole = pic.repaint || !pic.edits;
        p += snprintf(p, 32, "\x1b[%d;%dH", pic.place.top + 1, pic.place.left + 1);
        if (whole) {
            n = kitty_rows(cells, 1, 0, DISPLAY_ROWS, 0, DISPLAY_COLS, p, (size_t)(end - p) - 16);
            if (!n)
                return 0;
            p += n;
        } else {
            // An edit for each run of changed rows (those closer than KITTY_GAP_ROWS together). A run
            // that cannot go now (its shared memory still unread) is left for the next frame.
            int sent = 0;
            for (int r = first; r <= last;) {
                if (!row_changed[r]) {
                    r++;
                    continue;
                }
                int stop, c0, c1;
                changed_run(cells, row_changed, r, KITTY_GAP_ROWS, &stop, &c0, &c1);
                n = kitty_rows(cells, 0, r, stop, c0, c1, p, (size_t)(end - p) - 16);
                if (!n)
                    break;
                p += n;
                sent = 1;
                memcpy(pic.shown + r * DISPLAY_COLS, cells + r * DISPLAY_COLS, sizeof(DisplayCell) * DISPLAY_COLS * (size_t)(stop - r));
                r = stop;
            }
            if (!sent)
                return 0;
            p = put(p, "\x1b[?2026l");
            return (size_t)(p - pic.frame);
        }
    } else {
        for (int r = first; r <= last;) {
            if (!row_changed[r]) {
                r++;
                continue;
            }
            // A span of changed rows, with gaps shorter than SIXEL_GAP_ROWS, and its changed columns.
            int stop, c0, c1;
            changed_run(cells, row_changed, r, SIXEL_GAP_ROWS, &stop, &c0, &c1);
            // The image starts on a terminal cell: at or above and left of the first changed pixel.
            int term_row = (r * cell) / s->cell_h, term_col = (c0 * cell) / s->cell_w;
            n = terminal_sixel_encode(cells, scale, term_col * s->cell_w, c1 * cell, term_row * s->cell_h, stop * cell,
                                      pic.place.top + term_row, pic.place.left + term_col, p, (size_t)(end - p) - 16);
            if (!n)
                return 0;
            p += n;
            r = stop;
        }
    }
    p = put(p, "\x1b[?2026l");
    memcpy(pic.shown, cells, sizeof pic.shown);
    pic.repaint = 0;
    return (size_t)(p - pic.frame);
}

void terminal_picture_end(void)
{
    terminal_session_unshare(SHM_SLOTS);
}
