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
    SIXEL_GAP_ROWS = 6,              // changed rows closer than this go into one sixel image
    SHM_SLOTS = 4,                   // shared-memory objects the terminal may not have read yet
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
} pic;

// ---- internal functions ----

static char* put(char* p, const char* s)
{
    size_t n = strlen(s);
    memcpy(p, s, n);
    return p + n;
}

// Kitty: picture rows [y0, y1) as the whole image (full) or an edit of it. 0 bytes when it cannot go.
static size_t kitty_rows(const DisplayCell* cells, int full, int y0, int y1, char* p, size_t room)
{
    size_t len = terminal_kitty_png(cells, pic.place.scale, y0, y1, pic.png, sizeof pic.png);
    if (!len)
        return 0;
    if (pic.shm) {
        char name[64];
        if (!terminal_session_share(pic.png, len, pic.shm_next, name, sizeof name))
            return 0;
        pic.shm_next = (pic.shm_next + 1) % SHM_SLOTS;
        return terminal_kitty_wrap_shm(name, len, full, y0, p, room);
    }
    return terminal_kitty_wrap(pic.png, len, full, y0, p, room);
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
        if (whole)
            first = 0, last = DISPLAY_ROWS - 1;
        p += snprintf(p, 32, "\x1b[%d;%dH", pic.place.top + 1, pic.place.left + 1);
        n = kitty_rows(cells, whole, first * cell, (last + 1) * cell, p, (size_t)(end - p) - 16);
        if (!n)
            return 0;
        p += n;
    } else {
        for (int r = first; r <= last;) {
            if (!row_changed[r]) {
                r++;
                continue;
            }
            // A span of changed rows, with gaps shorter than SIXEL_GAP_ROWS, and its changed columns.
            int stop = r + 1;
            for (int k = r + 1; k < DISPLAY_ROWS && k < stop + SIXEL_GAP_ROWS; k++)
                if (row_changed[k])
                    stop = k + 1;
            int c0 = DISPLAY_COLS, c1 = 0;
            for (int k = r; k < stop; k++) {
                const DisplayCell* a = cells + k * DISPLAY_COLS;
                const DisplayCell* b = pic.shown + k * DISPLAY_COLS;
                for (int c = 0; c < DISPLAY_COLS; c++)
                    if (pic.repaint || a[c].ch != b[c].ch || a[c].attr != b[c].attr) {
                        c0 = c < c0 ? c : c0;
                        c1 = c + 1 > c1 ? c + 1 : c1;
                    }
            }
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
