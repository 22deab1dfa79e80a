// vga.h -- what a console cell looks like: the 16 console colours, the 8 x 8 code page 437 glyphs, cells drawn into pixels
//
// Shared by the cell conversion (its colours), the displays that draw pixels (window, capture, the
// terminal's layouts) and the tools; the cell type itself comes with the display interface.
#pragma once
#include <cstdint>

#include "platform/display.h"

// ---- sizes ----

enum {
    VGA_GLYPH = 8,                            // a glyph is 8 x 8 pixels
    VGA_PIXELS_W = DISPLAY_COLS * VGA_GLYPH,  // 640: the 80 x 50 cells drawn with the glyphs
    VGA_PIXELS_H = DISPLAY_ROWS * VGA_GLYPH,  // 400
};

// ---- tables ----

// The 16 console colours as red, green, blue; the index is the attribute's colour number
// (bit 0 blue, bit 1 green, bit 2 red, bit 3 intense).
inline constexpr uint8_t vga_palette[16][3] = {
    {0, 0, 0}, {0, 0, 128}, {0, 128, 0}, {0, 128, 128}, {128, 0, 0}, {128, 0, 128}, {128, 128, 0}, {192, 192, 192},
    {128, 128, 128}, {0, 0, 255}, {0, 255, 0}, {0, 255, 255}, {255, 0, 0}, {255, 0, 255}, {255, 255, 0}, {255, 255, 255},
};

// vga_font8x8[code][row]: row 0 at the top, the leftmost pixel in bit 7. Code 0 is blank.
// Generated at build time by kerv16-cellgen from the Linux console fonts.
extern const uint8_t vga_font8x8[256][8];

// vga_unicode[code]: the Unicode character code page 437 shows for `code` (code 0 as a space).
extern const uint16_t vga_unicode[256];

// ---- functions ----

// Draws 4000 cells as VGA_PIXELS_W x VGA_PIXELS_H pixels with the glyphs, ink in the foreground colour on
// the background colour, each pixel 0xFFRRGGBB from `palette`; `pitch` pixels per row.
void vga_draw_cells(const DisplayCell* cells, const uint8_t palette[16][3], uint32_t* pixels, int pitch);
// The same as packed red, green, blue bytes, VGA_PIXELS_W x 3 bytes per row.
void vga_draw_cells_rgb(const DisplayCell* cells, const uint8_t palette[16][3], uint8_t* rgb);
