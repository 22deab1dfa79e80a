// terminal_layout.cpp -- console cells laid out on terminal cells: wide, grid and compact
//
// Every layout draws the mean appearance (in linear light) of areas of console cells, split into the
// 4 x 4 quadrants of their glyphs, as spaces on a colour and block elements: wide two terminal cells
// per console cell of upper half blocks (each half one quadrant, square again on a 1 : 2 font),
// compact the picture scaled into a smaller terminal in upper half blocks, grid one terminal cell per
// console cell (with 24-bit colour the quadrant block that fits its four quadrants' colours best,
// with 16 colours an upper half block of its upper and lower halves). Measured on screenshots, mean
// colours keep the picture closer than quadrant blocks or letters in the cell's own two colours,
// whose hard texture and font seams cost more than they show.
#include "platform/terminal.h"

#include <cmath>
#include <cstring>

#include "platform/vga.h"
#include "platform/terminal/terminal_cells.h"

// In the grid, and in the wide layout at 160 x 50 on cells of 1 : 2, every terminal cell is made of
// whole quadrants of one console cell: what a console cell becomes depends only on its character and
// attribute (and, for the dither of 16 colours, on the parity of its column). Those layouts look
// their cells up in tables, each filled once from frames of every character and attribute drawn the
// straightforward way; the compact layout and scaled wide ones are worked out again where console
// cells changed.

// ---- types ----

enum {
    SOURCE_W = 2 * DISPLAY_COLS,   // every layout samples each cell's four quadrants
    SOURCE_H = 2 * DISPLAY_ROWS,
    MAX_TAPS = 16,                 // source samples one picture pixel can span (at 1 : 1 cells, 40 x 12: 10)
    GLYPH_UPPER_HALF = TERMINAL_GLYPH_QUADRANTS + 3,
};
static const int LINEAR_ONE = 4095;   // linear light in 12 bits

enum {
    TABLE_GRID_24,                 // the layouts with tables of their cells
    TABLE_GRID_16,
    TABLE_WIDE_24,
    TABLE_WIDE_16,
    TABLE_KINDS,
    CELL_KEYS = 256 * 256,         // character x 256 + attribute
};

// Which source samples a picture pixel averages along one axis, and how much of each (integer units).
struct Taps {
    int first, count;
    int weight[MAX_TAPS];
    int total;
};

// ---- state ----

// The last frame drawn the scaled way, for drawing only what changed in the next.
static struct {
    int valid;                          // 0: the next frame is drawn in full
    TermCell drawn[TERMINAL_MAX_CELLS]; // what it drew, copied out whole every frame, and how
    TerminalLayout layout;
    int colours, charset;
    DisplayCell cells[DISPLAY_CELLS];   // the console cells it showed
    int16_t x_lo[SOURCE_W], x_hi[SOURCE_W];        // picture columns reading each sample column
    int16_t row_lo[SOURCE_H], row_hi[SOURCE_H];    // terminal rows reading each sample row
    uint8_t line_dirty[SOURCE_H][TERMINAL_MAX_COLS];     // first-pass sums to work out again
    uint8_t cell_dirty[TERMINAL_MAX_ROWS][TERMINAL_MAX_COLS];  // terminal cells to work out again
} since;

// The terminal cells of every character and attribute, per layout with a table. The grid's two
// variants are even and odd columns (the same in 24-bit colour), the wide layout's the left and
// right terminal cell of a console cell.
static struct {
    int built[TABLE_KINDS];
    int off;                                        // 1: every frame the straightforward way
    TermCell cell[TABLE_KINDS][2][CELL_KEYS];
} lookup;

static struct {
    int ready;
    int columns, pixel_rows;               // the picture the taps were made for, in pixels
    Taps col[TERMINAL_MAX_COLS];
    Taps row[2 * TERMINAL_MAX_ROWS];
    uint16_t palette_linear[16][3];        // console colours in linear light
    uint8_t to_srgb[LINEAR_ONE + 1];       // linear light back to 8-bit sRGB
    // 15-bit sRGB colour to the console colours a and b and the quarters of b that mix it best:
    // a | b << 4 | quarters << 8. The pixels of a 2 x 2 tile take b in that many of their places.
    uint16_t mix[1 << 15];
    uint32_t sample[SOURCE_H][SOURCE_W][3];// linear light x 16 of every quadrant, one frame
    uint32_t line[SOURCE_H][TERMINAL_MAX_COLS][3];
} scaler;

// ---- internal functions ----

static int clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

static double srgb_to_linear(double c)
{
    c /= 255.0;
    return c <= 0.04045 ? c / 12.92 : pow((c + 0.055) / 1.055, 2.4);
}

static void build_colour_tables(void)
{
    for (int i = 0; i < 16; i++)
        for (int k = 0; k < 3; k++)
            scaler.palette_linear[i][k] = (uint16_t)lround(srgb_to_linear(vga_palette[i][k]) * LINEAR_ONE);
    for (int v = 0; v <= LINEAR_ONE; v++) {
        double c = (double)v / LINEAR_ONE;
        double s = c <= 0.0031308 ? c * 12.92 : 1.055 * pow(c, 1 / 2.4) - 0.055;
        scaler.to_srgb[v] = (uint8_t)lround(s * 255.0);
    }
    // Every mix of two console colours in quarters, in linear light, as sRGB; then for every 15-bit
    // colour the nearest mix by a weighted distance in sRGB (the eye is most sensitive to green).
    enum { MIXES = 16 + 16 * 15 / 2 * 3 };
    static int mix_rgb[MIXES][3];
    static long mix_texture[MIXES];
    static uint16_t mix_code[MIXES];
    int mixes = 0;
    for (int a = 0; a < 16; a++)
        for (int b = a; b < 16; b++)
            for (int q = b == a ? 0 : 1; q <= (b == a ? 0 : 3); q++) {
                for (int k = 0; k < 3; k++) {
                    int lin = (scaler.palette_linear[a][k] * (4 - q) + scaler.palette_linear[b][k] * q + 2) / 4;
                    mix_rgb[mixes][k] = scaler.to_srgb[lin];
                }
                // A dither of far-apart colours is texture the picture does not have: it counts against
                // the mix by the variance of its tile, a third as much as the colour error.
                long dr = vga_palette[a][0] - vga_palette[b][0], dg = vga_palette[a][1] - vga_palette[b][1],
                     dbl = vga_palette[a][2] - vga_palette[b][2];
                mix_texture[mixes] = (3 * dr * dr + 4 * dg * dg + 2 * dbl * dbl) * q * (4 - q) / 48;
                mix_code[mixes++] = (uint16_t)(a | b << 4 | q << 8);
            }
    for (int c = 0; c < (1 << 15); c++) {
        int r = (c >> 10 & 31) * 255 / 31, g = (c >> 5 & 31) * 255 / 31, b = (c & 31) * 255 / 31;
        int best = 0;
        long best_d = -1;
        for (int i = 0; i < mixes; i++) {
            long dr = r - mix_rgb[i][0], dg = g - mix_rgb[i][1], db = b - mix_rgb[i][2];
            long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db + mix_texture[i];
            if (best_d < 0 || d < best_d) {
                best_d = d;
                best = i;
            }
        }
        scaler.mix[c] = mix_code[best];
    }
    scaler.ready = 1;
}

// Box filter from `source` samples to `target` pixels: pixel p covers [p * source, (p + 1) * source)
// and sample s covers [s * target, (s + 1) * target), both in units of 1 / (source x target).
static void make_taps(Taps* taps, int target, int source)
{
    for (int p = 0; p < target; p++) {
        Taps* t = &taps[p];
        int lo = p * source, hi = (p + 1) * source;
        t->first = lo / target;
        t->count = 0;
        t->total = 0;
        for (int s = t->first; s < source && s * target < hi && t->count < MAX_TAPS; s++) {
            int a = s * target > lo ? s * target : lo, b = (s + 1) * target < hi ? (s + 1) * target : hi;
            t->weight[t->count++] = b - a;
            t->total += b - a;
        }
    }
}

static uint32_t rgb_of(const uint8_t* s) { return TERMINAL_RGB | (uint32_t)s[0] << 16 | (uint32_t)s[1] << 8 | s[2]; }

static TermCell solid(uint32_t colour) { return TermCell{colour, colour, ' '}; }

// The colour of picture pixel (x, y): exact in 24-bit, else a console colour dithered in 2 x 2 tiles.
static uint32_t pixel_colour(const uint32_t* lin, int total, int colours, int x, int y)
{
    uint8_t s[3];
    for (int k = 0; k < 3; k++)
        s[k] = scaler.to_srgb[clamp((int)((lin[k] + (uint32_t)total / 2) / (uint32_t)total), 0, LINEAR_ONE)];
    if (colours == TERMINAL_COLOURS_24BIT)
        return rgb_of(s);
    static const int ORDER[2][2] = {{0, 2}, {3, 1}};
    unsigned m = scaler.mix[(s[0] >> 3) << 10 | (s[1] >> 3) << 5 | (s[2] >> 3)];
    return ORDER[y & 1][x & 1] < (int)(m >> 8) ? m >> 4 & 15 : m & 15;
}

// Squared distance of two sRGB colours, weighted as the eye is most sensitive to green.
static long distance(const uint8_t* a, const uint8_t* b)
{
    long dr = a[0] - b[0], dg = a[1] - b[1], db = a[2] - b[2];
    return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

// A grid cell in 24-bit colour: of the eight ways to split its four quadrants into two groups, the
// one whose two mean colours (in linear light) lie closest to the quadrants' own colours, drawn as
// the block element of one group in its mean on the other's. The halves are one such split, so the
// cell is never further from its glyph than the half blocks of 16 colours; the others keep the
// vertical edges of letters and lines (on screenshots SSIM up by 0.01-0.02 on text and photographs,
// within 0.01 of the halves on smooth gradients).
static TermCell grid_cell(int row, int col)
{
    const uint32_t* quadrant[4] = {scaler.sample[2 * row][2 * col], scaler.sample[2 * row][2 * col + 1],
                                   scaler.sample[2 * row + 1][2 * col], scaler.sample[2 * row + 1][2 * col + 1]};
    uint8_t seen[4][3];
    for (int q = 0; q < 4; q++)
        for (int k = 0; k < 3; k++)
            seen[q][k] = scaler.to_srgb[(quadrant[q][k] + 8) / 16];
    long best_error = -1;
    unsigned best_mask = 0;
    uint8_t best[2][3] = {};
    // mask: the quadrants of group 1 (bit 0 upper left, 1 upper right, 2 lower left, 3 lower right);
    // the upper left one is always in group 0, so each split is tried once.
    for (unsigned mask = 0; mask < 16; mask += 2) {
        uint32_t sum[2][3] = {};
        int count[2] = {0, 0};
        for (int q = 0; q < 4; q++) {
            int g = mask >> q & 1;
            count[g]++;
            for (int k = 0; k < 3; k++)
                sum[g][k] += quadrant[q][k];
        }
        uint8_t mean[2][3] = {};
        for (int g = 0; g < 2; g++)
            for (int k = 0; k < 3 && count[g]; k++) {
                uint32_t total = 16 * (uint32_t)count[g];
                mean[g][k] = scaler.to_srgb[(sum[g][k] + total / 2) / total];
            }
        long error = 0;
        for (int q = 0; q < 4; q++)
            error += distance(seen[q], mean[mask >> q & 1]);
        if (best_error < 0 || error < best_error) {   // ties keep the fewer groups and quadrants
            best_error = error;
            best_mask = mask;
            memcpy(best, mean, sizeof best);
        }
    }
    uint32_t colour0 = rgb_of(best[0]), colour1 = rgb_of(best[1]);
    if (best_mask == 0 || colour0 == colour1)
        return solid(colour0);
    // At most two quadrants inked, always with the upper left one among two (its complement in
    // swapped colours looks the same), so a half block is sent as the upper one, as in the other
    // layouts, and a font's blocks that fall short of the cell leave the least seam.
    int inked = __builtin_popcount(best_mask);
    if (inked == 3 || inked == 2)
        return TermCell{colour0, colour1, (uint16_t)(TERMINAL_GLYPH_QUADRANTS + (15 ^ best_mask))};
    return TermCell{colour1, colour0, (uint16_t)(TERMINAL_GLYPH_QUADRANTS + best_mask)};
}

// The four quadrant samples of console cell (row, col) in linear light (x 16: its ink count weighs the
// foreground).
static void cell_samples(int row, int col, DisplayCell c)
{
    const uint16_t* fg = scaler.palette_linear[c.attr & 15];
    const uint16_t* bg = scaler.palette_linear[c.attr >> 4];
    for (int q = 0; q < 4; q++) {
        uint32_t ink = terminal_quadrant_ink[c.ch][q];
        uint32_t* s = scaler.sample[2 * row + (q >> 1)][2 * col + (q & 1)];
        for (int k = 0; k < 3; k++)
            s[k] = ink * fg[k] + (16 - ink) * bg[k];
    }
}

// Sample row y averaged across into picture column x: the first pass.
static void line_sum(int y, int x)
{
    const Taps* t = &scaler.col[x];
    uint32_t sum[3] = {0, 0, 0};
    for (int i = 0; i < t->count; i++)
        for (int k = 0; k < 3; k++)
            sum[k] += scaler.sample[y][t->first + i][k] * (uint32_t)t->weight[i];
    for (int k = 0; k < 3; k++)
        scaler.line[y][x][k] = sum[k];
}

// The row taps of picture row y; rows past the picture repeat its last.
static const Taps* row_taps(const TerminalLayout* layout, int y)
{
    return &scaler.row[y < layout->pixel_rows ? y : layout->pixel_rows - 1];
}

// Terminal cell (row, x) from the first pass's sums: its picture pixels averaged down, the second pass.
static TermCell tap_cell(const TerminalLayout* layout, int row, int x, int colours, int per_row)
{
    uint32_t colour[2] = {0, 0};
    for (int half = 0; half < per_row; half++) {
        int y = row * per_row + half;
        const Taps* t = row_taps(layout, y);
        uint64_t sum[3] = {0, 0, 0};
        for (int i = 0; i < t->count; i++)
            for (int k = 0; k < 3; k++)
                sum[k] += (uint64_t)scaler.line[t->first + i][x][k] * (uint64_t)t->weight[i];
        uint32_t lin[3];
        uint64_t total = (uint64_t)scaler.col[x].total * (uint64_t)t->total * 16;
        for (int k = 0; k < 3; k++)
            lin[k] = (uint32_t)((sum[k] + total / 2) / total);
        colour[half] = pixel_colour(lin, 1, colours, x, y);
    }
    if (per_row == 1 || colour[0] == colour[1])
        return solid(colour[0]);
    return TermCell{colour[0], colour[1], GLYPH_UPPER_HALF};
}

static void prepare_scaler(const TerminalLayout* layout)
{
    if (!scaler.ready)
        build_colour_tables();
    if (scaler.columns != layout->pixel_cols || scaler.pixel_rows != layout->pixel_rows) {
        make_taps(scaler.col, layout->pixel_cols, SOURCE_W);
        make_taps(scaler.row, layout->pixel_rows, SOURCE_H);
        scaler.columns = layout->pixel_cols;
        scaler.pixel_rows = layout->pixel_rows;
    }
}

// The straightforward way: every quadrant in linear light, then the layout's rule for each terminal cell.
static void draw_straight(const TerminalLayout* layout, const DisplayCell* cells, int colours, int charset,
                          TermCell* out)
{
    prepare_scaler(layout);
    since.valid = 0;   // the samples and sums are this frame's now
    for (int row = 0; row < DISPLAY_ROWS; row++)
        for (int col = 0; col < DISPLAY_COLS; col++)
            cell_samples(row, col, cells[row * DISPLAY_COLS + col]);
    if (layout->kind == TERMINAL_LAYOUT_GRID && colours == TERMINAL_COLOURS_24BIT && charset == TERMINAL_CHARSET_UTF8) {
        for (int row = 0; row < layout->rows; row++)
            for (int col = 0; col < layout->cols; col++)
                out[row * layout->cols + col] = grid_cell(row, col);
        return;
    }
    // Across, then down; the weights of each pass add up to its taps' total.
    for (int y = 0; y < SOURCE_H; y++)
        for (int x = 0; x < layout->cols; x++)
            line_sum(y, x);
    int per_row = charset == TERMINAL_CHARSET_ASCII ? 1 : 2;
    for (int row = 0; row < layout->rows; row++)
        for (int x = 0; x < layout->cols; x++)
            out[row * layout->cols + x] = tap_cell(layout, row, x, colours, per_row);
}

// The scaled layouts (compact, a wide one on cells other than 1 : 2, any in plain ASCII) drawn again
// only where console cells changed since the last frame drawn the same way: each changed cell's
// quadrants, the first pass's sums that read them, and the terminal cells that read those. What is
// worked out is worked out as the straightforward way does it, so the picture is the same.
static void draw_changes(const TerminalLayout* layout, const DisplayCell* cells, int colours, int charset,
                         TermCell* out)
{
    int per_row = charset == TERMINAL_CHARSET_ASCII ? 1 : 2;
    int split = layout->kind == TERMINAL_LAYOUT_GRID && colours == TERMINAL_COLOURS_24BIT && charset == TERMINAL_CHARSET_UTF8;
    if (split) {   // the grid's split blocks are not taps (and have a table of their own)
        draw_straight(layout, cells, colours, charset, out);
        return;
    }
    int count = layout->cols * layout->rows;
    if (!since.valid || since.colours != colours || since.charset != charset ||
        memcmp(&since.layout, layout, sizeof *layout) != 0) {
        draw_straight(layout, cells, colours, charset, since.drawn);
        memcpy(out, since.drawn, sizeof(TermCell) * (size_t)count);
        // Which picture columns read each sample column, and which terminal rows each sample row.
        for (int i = 0; i < SOURCE_W; i++)
            since.x_lo[i] = TERMINAL_MAX_COLS, since.x_hi[i] = -1;
        for (int x = 0; x < layout->cols; x++)
            for (int i = 0; i < scaler.col[x].count; i++) {
                int c = scaler.col[x].first + i;
                since.x_lo[c] = (int16_t)(x < since.x_lo[c] ? x : since.x_lo[c]);
                since.x_hi[c] = (int16_t)(x > since.x_hi[c] ? x : since.x_hi[c]);
            }
        for (int i = 0; i < SOURCE_H; i++)
            since.row_lo[i] = TERMINAL_MAX_ROWS, since.row_hi[i] = -1;
        for (int row = 0; row < layout->rows; row++)
            for (int half = 0; half < per_row; half++) {
                const Taps* t = row_taps(layout, row * per_row + half);
                for (int i = 0; i < t->count; i++) {
                    int r = t->first + i;
                    since.row_lo[r] = (int16_t)(row < since.row_lo[r] ? row : since.row_lo[r]);
                    since.row_hi[r] = (int16_t)(row > since.row_hi[r] ? row : since.row_hi[r]);
                }
            }
        memcpy(since.cells, cells, sizeof since.cells);
        memset(since.line_dirty, 0, sizeof since.line_dirty);
        memset(since.cell_dirty, 0, sizeof since.cell_dirty);
        since.layout = *layout;
        since.colours = colours;
        since.charset = charset;
        since.valid = 1;
        return;
    }
    int changed = 0;
    for (int i = 0; i < DISPLAY_CELLS; i++) {
        DisplayCell c = cells[i];
        if (c.ch == since.cells[i].ch && c.attr == since.cells[i].attr)
            continue;
        since.cells[i] = c;
        changed = 1;
        int row = i / DISPLAY_COLS, col = i % DISPLAY_COLS;
        cell_samples(row, col, c);
        int x_lo = since.x_lo[2 * col] < since.x_lo[2 * col + 1] ? since.x_lo[2 * col] : since.x_lo[2 * col + 1];
        int x_hi = since.x_hi[2 * col] > since.x_hi[2 * col + 1] ? since.x_hi[2 * col] : since.x_hi[2 * col + 1];
        for (int r = 2 * row; r < 2 * row + 2; r++)
            for (int x = x_lo; x <= x_hi; x++) {
                since.line_dirty[r][x] = 1;
                for (int t = since.row_lo[r]; t <= since.row_hi[r]; t++)
                    since.cell_dirty[t][x] = 1;
            }
    }
    for (int y = 0; y < SOURCE_H && changed; y++)
        for (int x = 0; x < layout->cols; x++)
            if (since.line_dirty[y][x]) {
                line_sum(y, x);
                since.line_dirty[y][x] = 0;
            }
    for (int row = 0; row < layout->rows && changed; row++)
        for (int x = 0; x < layout->cols; x++)
            if (since.cell_dirty[row][x]) {
                since.drawn[row * layout->cols + x] = tap_cell(layout, row, x, colours, per_row);
                since.cell_dirty[row][x] = 0;
            }
    // Whoever owns `out` may have changed it since (a new encoder starts empty): it gets all of it.
    memcpy(out, since.drawn, sizeof(TermCell) * (size_t)count);
}

// Which table serves a layout, or -1 when its cells are not whole quadrants of one console cell.
static int table_kind(const TerminalLayout* layout, int colours, int charset)
{
    if (charset != TERMINAL_CHARSET_UTF8 || layout->pixel_rows != SOURCE_H)
        return -1;
    int truecolour = colours == TERMINAL_COLOURS_24BIT;
    if (layout->kind == TERMINAL_LAYOUT_GRID && layout->pixel_cols == DISPLAY_COLS)
        return truecolour ? TABLE_GRID_24 : TABLE_GRID_16;
    if (layout->kind == TERMINAL_LAYOUT_WIDE && layout->pixel_cols == SOURCE_W)
        return truecolour ? TABLE_WIDE_24 : TABLE_WIDE_16;
    return -1;
}

// Fills a table from whole frames drawn the straightforward way: every character and attribute
// once (in the grid once in an even and once in an odd column), 4000 to a frame.
static void build_table(int kind)
{
    static DisplayCell frame[DISPLAY_CELLS];
    static TermCell drawn[TERMINAL_MAX_CELLS];
    int grid = kind == TABLE_GRID_24 || kind == TABLE_GRID_16;
    int cols = grid ? (int)DISPLAY_COLS : (int)SOURCE_W;
    TerminalLayout layout = {grid ? TERMINAL_LAYOUT_GRID : TERMINAL_LAYOUT_WIDE, 0, 0, cols, DISPLAY_ROWS, cols, SOURCE_H};
    int colours = kind == TABLE_GRID_24 || kind == TABLE_WIDE_24 ? TERMINAL_COLOURS_24BIT : TERMINAL_COLOURS_16;
    // Placement p puts key p / 2 (grid) or p (wide); in the grid its parity is that of its column,
    // as 4000 and 80 are even.
    int placements = grid ? 2 * CELL_KEYS : CELL_KEYS;
    for (int first = 0; first < placements; first += DISPLAY_CELLS) {
        for (int i = 0; i < DISPLAY_CELLS; i++) {
            int key = ((first + i) >> grid) % CELL_KEYS;
            frame[i] = DisplayCell{(uint8_t)(key >> 8), (uint8_t)key};
        }
        draw_straight(&layout, frame, colours, TERMINAL_CHARSET_UTF8, drawn);
        for (int i = 0; i < DISPLAY_CELLS && first + i < placements; i++) {
            int key = ((first + i) >> grid) % CELL_KEYS, row = i / DISPLAY_COLS, col = i % DISPLAY_COLS;
            if (grid) {
                lookup.cell[kind][col & 1][key] = drawn[row * cols + col];
            } else {
                lookup.cell[kind][0][key] = drawn[row * cols + 2 * col];
                lookup.cell[kind][1][key] = drawn[row * cols + 2 * col + 1];
            }
        }
    }
    lookup.built[kind] = 1;
}

static void draw_layout(const TerminalLayout* layout, const DisplayCell* cells, int colours, int charset,
                        TermCell* out)
{
    if (lookup.off) {
        draw_straight(layout, cells, colours, charset, out);
        return;
    }
    int kind = table_kind(layout, colours, charset);
    if (kind < 0) {
        draw_changes(layout, cells, colours, charset, out);
        return;
    }
    if (!lookup.built[kind])
        build_table(kind);
    // Both variants are indexed by the terminal column's parity: the grid's column is the console
    // column, the wide layout's is twice it plus the side.
    int wide = kind == TABLE_WIDE_24 || kind == TABLE_WIDE_16;
    const TermCell(*table)[CELL_KEYS] = lookup.cell[kind];
    for (int row = 0; row < layout->rows; row++) {
        const DisplayCell* line = cells + row * DISPLAY_COLS;
        TermCell* to = out + row * layout->cols;
        for (int x = 0; x < layout->cols; x++) {
            DisplayCell c = line[x >> wide];
            to[x] = table[x & 1][c.ch << 8 | c.attr];
        }
    }
}

// ---- public functions ----

void terminal_layout_use_tables(int on) { lookup.off = !on; }

void terminal_layout_choose(TerminalLayout* layout, int wanted, int cols, int rows, int cell_w, int cell_h,
                            int charset)
{
    memset(layout, 0, sizeof *layout);
    if (cell_w <= 0 || cell_h <= 0) {
        cell_w = 1;
        cell_h = 2;
    }
    // Cells from square to three times as tall as wide; beyond that a report is not believed.
    if (cell_h < cell_w)
        cell_h = cell_w;
    if (cell_h > 3 * cell_w)
        cell_h = 3 * cell_w;
    int kind = wanted;
    if (kind < TERMINAL_LAYOUT_WIDE || kind > TERMINAL_LAYOUT_COMPACT)
        kind = cols >= TERMINAL_MAX_COLS && rows >= DISPLAY_ROWS ? TERMINAL_LAYOUT_WIDE
               : cols >= DISPLAY_COLS && rows >= DISPLAY_ROWS   ? TERMINAL_LAYOUT_GRID
                                                               : TERMINAL_LAYOUT_COMPACT;
    if (kind == TERMINAL_LAYOUT_COMPACT && (cols < TERMINAL_MIN_COLS || rows < TERMINAL_MIN_ROWS))
        kind = TERMINAL_LAYOUT_TOO_SMALL;
    layout->kind = kind;
    int want_cols = 0, want_rows = 0;
    int per_row = charset == TERMINAL_CHARSET_ASCII ? 1 : 2;
    if (kind == TERMINAL_LAYOUT_GRID) {
        want_cols = DISPLAY_COLS;
        want_rows = DISPLAY_ROWS;
    } else if (kind == TERMINAL_LAYOUT_WIDE || kind == TERMINAL_LAYOUT_COMPACT) {
        // The largest area of the picture's 640 : 400 proportion: each terminal cell holds
        // `per_row` pixels of cell_w x (cell_h / per_row).
        int max_cols = cols < TERMINAL_MAX_COLS ? cols : TERMINAL_MAX_COLS;
        int max_rows = rows < TERMINAL_MAX_ROWS ? rows : TERMINAL_MAX_ROWS;
        want_rows = max_rows;
        want_cols = (int)lround(1.6 * want_rows * cell_h / cell_w);
        if (want_cols > max_cols) {
            want_cols = max_cols;
            want_rows = clamp((int)lround(want_cols * cell_w / (1.6 * cell_h)), 1, max_rows);
        }
    } else {
        return;   // too small: nothing of the picture is drawn
    }
    layout->pixel_cols = want_cols;
    layout->pixel_rows = want_rows * per_row;
    // Centred where there is room; the upper left part where there is not.
    layout->cols = want_cols < cols ? want_cols : cols;
    layout->rows = want_rows < rows ? want_rows : rows;
    layout->left = cols > want_cols ? (cols - want_cols) / 2 : 0;
    layout->top = rows > want_rows ? (rows - want_rows) / 2 : 0;
}

void terminal_layout_draw(const TerminalLayout* layout, const DisplayCell* cells, int colours, int charset,
                          TermCell* out)
{
    if (layout->kind != TERMINAL_LAYOUT_TOO_SMALL)
        draw_layout(layout, cells, colours, charset, out);
}
