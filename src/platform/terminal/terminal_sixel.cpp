// terminal_sixel.cpp -- the pixel path's placement and its sixel encoder: console cells to DEC sixel bands in the 16 colour registers
#include "platform/terminal_pixels.h"
#include "platform/terminal.h"

#include <cstdio>
#include <cstring>

// ---- types ----

enum {
    SIXEL_MAX_SCALE = 4,                           // the widest picture the encoder's lines hold: 640 x 4
    SIXEL_MAX_W = VGA_PIXELS_W * SIXEL_MAX_SCALE,
    SIXEL_BAND = 6,                                // pixel rows per sixel
    SIXEL_HEAD_MAX = 64 + 16 * 18,                 // cursor move, header and all 16 registers
    SIXEL_MAX_CHARS = 48,                          // the most one run or one command can take
};

// ---- state ----

static uint8_t band_lines[SIXEL_BAND][SIXEL_MAX_W];  // colour index of every pixel of the band's rows
static uint8_t band_bits[16][SIXEL_MAX_W];           // the sixel of each colour in each column

// ---- internal functions ----

// The colour indices of picture pixel row y at this scale.
static void draw_line(const DisplayCell* cells, int scale, int y, uint8_t* line)
{
    int row = y / (VGA_GLYPH * scale), gy = (y / scale) % VGA_GLYPH;
    const DisplayCell* c = cells + row * DISPLAY_COLS;
    for (int col = 0; col < DISPLAY_COLS; col++) {
        uint8_t bits = vga_font8x8[c[col].ch][gy];
        uint8_t fg = c[col].attr & 15, bg = c[col].attr >> 4;
        for (int x = 0; x < VGA_GLYPH; x++) {
            uint8_t v = bits & (0x80 >> x) ? fg : bg;
            for (int k = 0; k < scale; k++)
                *line++ = v;
        }
    }
}

// One run of `count` equal sixels: repeated by hand up to 3 (shorter than "!n").
static char* put_run(char* p, int sixel, int count)
{
    char c = (char)('?' + sixel);
    if (count > 3) {
        *p++ = '!';
        p = terminal_put_uint(p, (unsigned)count);
        *p++ = c;
    } else {
        while (count--)
            *p++ = c;
    }
    return p;
}

// ---- public functions ----

PixelPlace terminal_pixels_place(int cols, int rows, int cell_w, int cell_h, int max_w, int max_h, int sixel)
{
    PixelPlace place = {0, 0, 0, 0, 0};
    if (cols <= 0 || rows <= 0 || cell_w <= 0 || cell_h <= 0)
        return place;
    int area_w = cols * cell_w, area_h = (sixel ? rows - 1 : rows) * cell_h;
    if (max_w > 0 && max_w < area_w)
        area_w = max_w;
    if (max_h > 0 && max_h < area_h)
        area_h = max_h;
    int scale = area_w / VGA_PIXELS_W < area_h / VGA_PIXELS_H ? area_w / VGA_PIXELS_W : area_h / VGA_PIXELS_H;
    if (scale > SIXEL_MAX_SCALE)
        scale = SIXEL_MAX_SCALE;
    if (scale < 1)
        return place;
    place.scale = scale;
    place.cols = (VGA_PIXELS_W * scale + cell_w - 1) / cell_w;
    place.rows = (VGA_PIXELS_H * scale + cell_h - 1) / cell_h;
    place.left = (cols - place.cols) / 2;
    place.top = ((sixel ? rows - 1 : rows) - place.rows) / 2;
    if (place.left < 0)
        place.left = 0;
    if (place.top < 0)
        place.top = 0;
    return place;
}

size_t terminal_sixel_encode(const DisplayCell* cells, int scale, int x0, int x1, int y0, int y1, int term_row,
                             int term_col, char* out, size_t capacity)
{
    int full_w = VGA_PIXELS_W * scale, w = x1 - x0;
    if (scale < 1 || scale > SIXEL_MAX_SCALE || x0 < 0 || x1 > full_w || x0 >= x1 || y0 < 0 ||
        y1 > VGA_PIXELS_H * scale || y0 >= y1 || capacity < SIXEL_HEAD_MAX)
        return 0;
    char* p = out;
    char* end = out + capacity;
    // The colour the image shows most becomes register 0, the background every pixel starts in
    // (P2 = 0), so that its sixels are never sent; the others keep their numbers, colour 0 taking
    // the background's.
    static uint8_t line[SIXEL_MAX_W];
    int count[16] = {0};
    for (int y = y0; y < y1; y += scale) {
        draw_line(cells, scale, y, line);
        for (int x = x0; x < x1; x += scale)
            count[line[x]]++;
    }
    int bg = 0;
    for (int c = 1; c < 16; c++)
        if (count[c] > count[bg])
            bg = c;
    uint8_t reg[16];
    for (int c = 0; c < 16; c++)
        reg[c] = (uint8_t)c;
    reg[bg] = 0;
    reg[0] = (uint8_t)bg;
    // Cursor to the image's corner, 1 : 1 pixels, the background filled over the declared size.
    p += snprintf(p, 64, "\x1b[%d;%dH\x1bP0;0;0q\"1;1;%d;%d", term_row + 1, term_col + 1, w, y1 - y0);
    for (int c = 0; c < 16; c++)
        if (count[c] || c == bg) {
            *p++ = '#';
            p = terminal_put_uint(p, (unsigned)reg[c]);
            *p++ = ';';
            *p++ = '2';
            for (int k = 0; k < 3; k++) {
                *p++ = ';';
                p = terminal_put_uint(p, (unsigned)((vga_palette[c][k] * 100 + 127) / 255));
            }
        }
    for (int band = y0; band < y1; band += SIXEL_BAND) {
        int rows = y1 - band < SIXEL_BAND ? y1 - band : SIXEL_BAND;
        uint16_t present = 0;   // colours to send in this band
        for (int k = 0; k < rows; k++) {
            // Rows repeat within a scaled pixel: copy instead of drawing again.
            if (k > 0 && (band + k) / scale == (band + k - 1) / scale)
                memcpy(band_lines[k], band_lines[k - 1], (size_t)full_w);
            else
                draw_line(cells, scale, band + k, band_lines[k]);
        }
        int in_band[16] = {0};
        for (int k = 0; k < rows; k++)
            for (int x = x0; x < x1; x += scale)
                in_band[band_lines[k][x]]++;
        // The band's own most common colour is painted over the whole band first when it is not the
        // image's background: the pixels of that colour then cost nothing either.
        int base = bg;
        for (int c = 0; c < 16; c++) {
            if (in_band[c])
                present |= (uint16_t)(1u << c);
            if (in_band[c] > in_band[base])
                base = c;
        }
        present &= (uint16_t)~(1u << base);
        int first = 1;
        if (base != bg) {
            if (end - p < (ptrdiff_t)SIXEL_MAX_CHARS)
                return 0;
            *p++ = '#';
            p = terminal_put_uint(p, (unsigned)reg[base]);
            p = put_run(p, (1 << rows) - 1, w);
            first = 0;
        }
        for (int c = 0; c < 16; c++)
            if (present & (1u << c))
                memset(band_bits[c], 0, (size_t)w);
        for (int k = 0; k < rows; k++) {
            const uint8_t* l = band_lines[k] + x0;
            for (int x = 0; x < w; x++)
                band_bits[l[x]][x] |= (uint8_t)(1u << k);
        }
        for (int c = 0; c < 16; c++) {
            if (!(present & (1u << c)))
                continue;
            // Every colour needs room for its runs; a frame that would not fit is not sent.
            if (end - p < (ptrdiff_t)(w * 2 + SIXEL_MAX_CHARS))
                return 0;
            if (!first)
                *p++ = '$';   // back to the band's start for the next colour
            first = 0;
            *p++ = '#';
            p = terminal_put_uint(p, (unsigned)reg[c]);
            const uint8_t* bits = band_bits[c];
            int last = w;
            while (last > 0 && bits[last - 1] == 0)
                last--;   // nothing after the last set pixel
            for (int x = 0; x < last;) {
                int run = 1;
                while (x + run < last && bits[x + run] == bits[x])
                    run++;
                p = put_run(p, bits[x], run);
                x += run;
            }
        }
        if (end - p < 8)
            return 0;
        if (band + SIXEL_BAND < y1)
            *p++ = '-';   // the next band; none after the last, so the image ends where it should
    }
    if (end - p < 4)
        return 0;
    *p++ = 0x1b;
    *p++ = '\\';
    return (size_t)(p - out);
}
