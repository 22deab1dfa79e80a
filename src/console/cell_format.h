// cell_format.h -- the cell conversion tables' format: shade ramp, sizes and colour index
//
// Read by the engine (src/console) and by kerv16-cellgen, which writes the tables, so both agree on
// every byte. Header only: the table generator is built before the engine and does not link it.
#pragma once
#include <cstdint>

#include "platform/vga.h"   // the 16 console colours (vga_palette)

// ---- sizes ----

enum {
    CELL_LEVELS = 6,                                 // coverage levels of the pattern path
    CELL_PATTERNS = 19683,                           // 3^9 base-3 patterns of a 3 x 3 block
    CHAR_TABLE_BYTES = CELL_LEVELS * CELL_PATTERNS,  // 118098: size of "data/charmap.lut"
    CELL_COLOURS = 32768,                            // 15-bit colour indices, red in the top five bits
    MIX_TABLE_OFFSET = CELL_COLOURS,                 // colmap.lut: attribute bytes, then one float each
    COLMAP_BYTES = CELL_COLOURS + CELL_COLOURS * 4,  // 163840: size of "data/colmap.lut"
    SHADE_STEPS = 37,                                // entries of shade_ramp
    SHADE_GROUPS = 9,                                // cell noise scatters a mix over entries 4g to 4g + 3
};

// ---- tables ----

// The flat path's characters, from no foreground to about half foreground (code page 437).
// A mix m draws entry trunc(74 m) XOR cell noise, limited to 36; entry 36 is character code 0 (blank).
inline constexpr uint8_t shade_ramp[SHADE_STEPS] = {
    0x20, 0x20, 0x20, 0x20, 0xFA, 0xF9, 0xF9, 0xF9, 0x3A, 0x3A, 0x3A, 0x3A, 0x07, 0x07, 0x07, 0x2B, 0xB0, 0xB0, 0xB0,
    0xB0, 0x09, 0x09, 0x09, 0x09, 0x09, 0x4F, 0x4F, 0x4F, 0x4F, 0xE9, 0xE9, 0xE9, 0xB1, 0xB1, 0xB1, 0xB1, 0x00,
};

// ---- functions ----

// The colmap index of a colour: (R >> 3) x 1024 + (G >> 3) x 32 + (B >> 3).
inline int cell_colour_index(int red, int green, int blue)
{
    return (red >> 3) * 1024 + (green >> 3) * 32 + (blue >> 3);
}

// The mix that selects ramp group g (entries 4g to 4g + 3) whatever the cell noise.
inline float cell_group_mix(int group)
{
    return (float)((4 * group + 2) / 74.0);
}
