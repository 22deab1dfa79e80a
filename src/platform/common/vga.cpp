// vga.cpp -- cells drawn into pixels with the 8 x 8 code page 437 glyphs in a given palette
#include "platform/vga.h"

// ---- public functions ----

void vga_draw_cells(const DisplayCell* cells, const uint8_t palette[16][3], uint32_t* pixels, int pitch)
{
    uint32_t colour[16];
    for (int i = 0; i < 16; i++)
        colour[i] = 0xFF000000u | (uint32_t)palette[i][0] << 16 | (uint32_t)palette[i][1] << 8 | palette[i][2];
    for (int row = 0; row < DISPLAY_ROWS; row++)
        for (int col = 0; col < DISPLAY_COLS; col++) {
            const DisplayCell* c = &cells[row * DISPLAY_COLS + col];
            uint32_t fg = colour[c->attr & 15], bg = colour[c->attr >> 4];
            const uint8_t* glyph = vga_font8x8[c->ch];
            uint32_t* out = pixels + (row * VGA_GLYPH) * pitch + col * VGA_GLYPH;
            for (int y = 0; y < VGA_GLYPH; y++, out += pitch)
                for (int x = 0; x < VGA_GLYPH; x++)
                    out[x] = (glyph[y] & (0x80 >> x)) ? fg : bg;
        }
}

void vga_draw_cells_rgb(const DisplayCell* cells, const uint8_t palette[16][3], uint8_t* rgb)
{
    static uint32_t argb[VGA_PIXELS_W * VGA_PIXELS_H];
    vga_draw_cells(cells, palette, argb, VGA_PIXELS_W);
    for (int i = 0; i < VGA_PIXELS_W * VGA_PIXELS_H; i++) {
        rgb[3 * i] = (uint8_t)(argb[i] >> 16);
        rgb[3 * i + 1] = (uint8_t)(argb[i] >> 8);
        rgb[3 * i + 2] = (uint8_t)argb[i];
    }
}
