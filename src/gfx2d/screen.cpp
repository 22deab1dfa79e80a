// screen.cpp -- the Screen: creation, presenting, pixel and pen plotting, lines, fills, colour combiners
#include "gfx2d/gfx2d.h"
#include "console/console.h"

#include <cstdlib>
#include <cstring>

// ---- state ----

uint32_t* screen;
int pen_width;
void (*plot)(int x, int y, uint32_t colour) = put_pixel;

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
    // The strict test keeps the disc symmetric: it reaches at most h - 1 pixels from the centre.
    for (int i = 0; i < w; i++)
        for (int j = 0; j < w; j++)
            if ((i - h) * (i - h) + (j - h) * (j - h) < h * h)
                put_pixel(x + i - h, y + j - h, colour);
}

void draw_line(int x0, int y0, int x1, int y1, uint32_t colour)
{
    int dx = x1 - x0, dy = y1 - y0;
    int n = abs(dx) > abs(dy) ? abs(dx) : abs(dy);
    int sx = dx * 256 / (n + 1), sy = dy * 256 / (n + 1);
    int fx = x0 * 256, fy = y0 * 256;
    // The step comes before each plot, so the start pixel is skipped when drawing towards smaller
    // coordinates and the end pixel is repeated; positions round down (arithmetic shifts).
    for (int k = 0; k <= n; k++) {
        fx += sx;
        fy += sy;
        plot(fx >> 8, fy >> 8, colour);
    }
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
