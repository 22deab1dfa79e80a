// screen.cpp -- the Screen: creation, presenting, pixel and pen plotting, lines, fills, colour combiners
#include "gfx2d/gfx2d.h"
#include "console/console.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// ---- types ----

enum {
    DISC_SPAN_HALF = 64,  // lines with discs of half width 1..64 (pens 2 to 129) are painted as row spans
};

// ---- state ----

uint32_t* screen;
int pen_width;
void (*plot)(int x, int y, uint32_t colour) = put_pixel;

// Row dy of a disc of half width h covers columns -a .. a around its centre: the largest a with
// a^2 + dy^2 < h^2 (dy < h). Filled at the first disc line.
static int16_t disc_half_span[DISC_SPAN_HALF + 1][DISC_SPAN_HALF];
static int32_t row_left[SCREEN_H], row_right[SCREEN_H];  // a line's columns per row; empty between lines
static int disc_spans_ready;

// ---- internal functions ----

static int64_t abs64(int64_t v) { return v < 0 ? -v : v; }

static int64_t clamp64(int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : v > hi ? hi : v; }

// Divisions rounding down and up, for a positive divisor.
static int64_t floor_div(int64_t a, int64_t b) { return a / b - (a % b != 0 && a < 0); }
static int64_t ceil_div(int64_t a, int64_t b) { return a / b + (a % b != 0 && a > 0); }

// A line's n + 1 steps of (sx, sy) in 8.8, each the distance over n + 1, truncated. In 64 bits, so
// ends anywhere in the int range neither overflow nor wrap.
static void line_steps(int x0, int y0, int x1, int y1, int64_t* n, int64_t* sx, int64_t* sy)
{
    int64_t dx = (int64_t)x1 - x0, dy = (int64_t)y1 - y0;
    *n = abs64(dx) > abs64(dy) ? abs64(dx) : abs64(dy);
    *sx = dx * 256 / (*n + 1);
    *sy = dy * 256 / (*n + 1);
}

// How far from its point `plot` can write: 0 for single pixels, h - 1 for a disc of width 2h or
// 2h + 1; -1 for a plotter of someone else's, which is then handed every step.
static int64_t plot_reach(void)
{
    if (plot == put_pixel)
        return 0;
    if (plot == put_disc)
        return pen_width / 2 > 1 ? pen_width / 2 - 1 : 0;
    return -1;
}

// Narrows lo..hi to the steps k whose coordinate ((start x 256 + k x step) >> 8) lies within `reach`
// of 0 .. size - 1. The coordinate moves by the same amount every step, so those steps are one run,
// and its ends follow from the shift's bounds: (f >> 8) >= a exactly when f >= a x 256, and
// (f >> 8) <= b exactly when f <= b x 256 + 255.
static void steps_within(int start, int64_t step, int reach, int size, int64_t* lo, int64_t* hi)
{
    int64_t f0 = (int64_t)start * 256;
    int64_t low = -(int64_t)reach * 256, high = ((int64_t)size - 1 + reach) * 256 + 255;
    if (step > 0) {
        *lo = std::max(*lo, ceil_div(low - f0, step));
        *hi = std::min(*hi, floor_div(high - f0, step));
    } else if (step < 0) {
        *lo = std::max(*lo, ceil_div(f0 - high, -step));
        *hi = std::min(*hi, floor_div(f0 - low, -step));
    } else if (f0 < low || f0 > high) {
        *hi = *lo - 1;  // stands still off the Screen: no step reaches it
    }
}

static void build_disc_spans(void)
{
    for (int h = 1; h <= DISC_SPAN_HALF; h++)
        for (int dy = 0; dy < h; dy++) {
            int a = 0;
            while ((a + 1) * (a + 1) + dy * dy < h * h)
                a++;
            disc_half_span[h][dy] = (int16_t)a;
        }
    for (int y = 0; y < SCREEN_H; y++)
        row_left[y] = INT32_MAX, row_right[y] = INT32_MIN;
    disc_spans_ready = 1;
}

// Widens rows y - (h - 1) .. y + (h - 1) to hold discs of half width h centred on columns x0 .. x1 of row y.
static void widen_rows(int y, int x0, int x1, int h, int* top, int* bottom)
{
    const int16_t* half = disc_half_span[h];
    int y0 = std::max(y - (h - 1), 0), y1 = std::min(y + (h - 1), SCREEN_H - 1);
    for (int row = y0; row <= y1; row++) {
        int a = half[row < y ? y - row : row - y];
        row_left[row] = std::min(row_left[row], x0 - a);
        row_right[row] = std::max(row_right[row], x1 + a);
    }
    *top = std::min(*top, y0);
    *bottom = std::max(*bottom, y1);
}

// draw_line's steps with a disc pen of half width h (1 .. DISC_SPAN_HALF), painted as row spans: the
// same pixels as a disc per step. Every disc has the line's colour, so the order of the writes is
// unseen; and the discs of two neighbouring steps (at most a pixel apart each way) that reach a row
// cover touching or overlapping columns of it, so all of them together cover one run per row.
// Steps that stay on one row are taken together.
static void disc_line(int64_t fx, int64_t fy, int64_t sx, int64_t sy, int64_t count, int h, uint32_t colour)
{
    if (!disc_spans_ready)
        build_disc_spans();
    int top = SCREEN_H, bottom = -1;
    int run_y = 0, run_x0 = 0, run_x1 = -1;  // the steps so far on row run_y, columns run_x0 .. run_x1
    for (int64_t k = 0; k < count; k++) {
        fx += sx;
        fy += sy;
        int x = (int)(fx >> 8), y = (int)(fy >> 8);
        if (run_x0 <= run_x1 && y == run_y) {
            run_x0 = std::min(run_x0, x), run_x1 = std::max(run_x1, x);
            continue;
        }
        if (run_x0 <= run_x1)
            widen_rows(run_y, run_x0, run_x1, h, &top, &bottom);
        run_y = y, run_x0 = x, run_x1 = x;
    }
    if (run_x0 <= run_x1)
        widen_rows(run_y, run_x0, run_x1, h, &top, &bottom);
    for (int row = top; row <= bottom; row++) {
        int left = std::max(row_left[row], 0), right = std::min(row_right[row], SCREEN_W - 1);
        for (int x = left; x <= right; x++)
            screen[row * SCREEN_W + x] = colour;
        row_left[row] = INT32_MAX, row_right[row] = INT32_MIN;
    }
}

// ---- public functions ----

uint32_t* screen_create(void)
{
    console_output_handle();
    // Never freed: the Screen lives as long as the process. Cleared so the first frame is black.
    screen = (uint32_t*)calloc(SCREEN_PIXELS, sizeof(uint32_t));
    if (!screen)
        abort();
    return screen;
}

uint32_t* screen_pixels(void) { return screen; }

void screen_present(void)
{
    if (screen)  // nothing to show before screen_create
        present_screen(screen);
}

void put_pixel(int x, int y, uint32_t colour)
{
    if ((unsigned)x < SCREEN_W && (unsigned)y < SCREEN_H)
        screen[y * SCREEN_W + x] = colour;
}

void set_pen_width(int width)
{
    pen_width = width;
    plot = width < 2 ? put_pixel : put_disc;
}

void put_disc(int x, int y, uint32_t colour)
{
    int w = pen_width, h = w / 2;
    if (h <= 0)
        return;  // widths below 2 and negative ones reach no pixel
    // The strict test keeps the disc symmetric: it reaches at most h - 1 pixels from the centre.
    // Only the columns and rows that land on the Screen are visited, in the same order, so any width
    // costs at most a Screen's worth; 64 bits, since x, y and h may be anything an int holds.
    int64_t left = (int64_t)x - h, top = (int64_t)y - h, hh = (int64_t)h * h;
    int64_t i0 = clamp64(-left, 0, w), i1 = clamp64(SCREEN_W - left, 0, w);
    int64_t j0 = clamp64(-top, 0, w), j1 = clamp64(SCREEN_H - top, 0, w);
    for (int64_t i = i0; i < i1; i++)
        for (int64_t j = j0; j < j1; j++)
            if ((i - h) * (i - h) + (j - h) * (j - h) < hh)
                put_pixel((int)(left + i), (int)(top + j), colour);
}

void draw_line(int x0, int y0, int x1, int y1, uint32_t colour)
{
    int64_t n, sx, sy;
    line_steps(x0, y0, x1, y1, &n, &sx, &sy);
    int64_t first = 1, last = n + 1;
    int64_t reach = plot_reach();
    if (reach >= 0 && !draw_line_steps(x0, y0, x1, y1, (int)reach, &first, &last))
        return;
    int64_t fx = (int64_t)x0 * 256 + (first - 1) * sx, fy = (int64_t)y0 * 256 + (first - 1) * sy;
    if (plot == put_disc && pen_width / 2 >= 1 && pen_width / 2 <= DISC_SPAN_HALF && screen) {
        disc_line(fx, fy, sx, sy, last - first + 1, pen_width / 2, colour);
        return;
    }
    // The step comes before each plot, so the start pixel is skipped when drawing towards smaller
    // coordinates and the end pixel is repeated; positions round down (arithmetic shifts).
    for (int64_t k = first; k <= last; k++) {
        fx += sx;
        fy += sy;
        plot((int)(fx >> 8), (int)(fy >> 8), colour);
    }
}

int draw_line_steps(int x0, int y0, int x1, int y1, int reach, int64_t* first, int64_t* last)
{
    int64_t n, sx, sy;
    line_steps(x0, y0, x1, y1, &n, &sx, &sy);
    int64_t lo = 1, hi = n + 1;
    steps_within(x0, sx, reach, SCREEN_W, &lo, &hi);
    steps_within(y0, sy, reach, SCREEN_H, &lo, &hi);
    *first = lo;
    *last = hi;
    return lo <= hi;
}

void draw_line_bgr(int x0, int y0, int x1, int y1, int blue, int green, int red)
{
    uint32_t colour = (uint32_t)(blue & 255) << 16 | (uint32_t)(green & 255) << 8 | (uint32_t)(red & 255);
    draw_line(x0, y0, x1, y1, colour);
}

uint32_t screen_fill(uint32_t value)
{
    for (int i = 0; i < SCREEN_PIXELS; i++)
        screen[i] = value;
    return value;
}

void screen_fill_rgb(int red, int green, int blue)
{
    screen_fill((uint32_t)(blue & 255) << 16 | (uint32_t)(green & 255) << 8 | (uint32_t)(red & 255));
}

uint32_t pixel_average(uint32_t a, uint32_t b)
{
    return ((a >> 1) & 0x7F7F7F7Fu) + ((b >> 1) & 0x7F7F7F7Fu);
}

uint32_t pixel_add_saturate(uint32_t a, uint32_t b)
{
    uint32_t s = ((a >> 1) & 0x7F7F7F7Fu) + ((b >> 1) & 0x7F7F7F7Fu);
    // Half-sums of 128 or more saturate to 255 before the doubling; the doubling then carries each
    // byte's top bit into the byte above, which is how it has always looked.
    if (s & 0x00800000u) s |= 0x007F0000u;
    if (s & 0x00008000u) s |= 0x00007F00u;
    if (s & 0x00000080u) s |= 0x0000007Fu;
    return s * 2;
}
