// terminal_cells.h -- the glyphs' ink per quadrant, which the terminal layouts mix colours by (generated from the 8 x 8 font)
#pragma once
#include <cstdint>

// Ink pixels (0-16) of every glyph in its four 4 x 4 quadrants: upper left, upper right, lower left,
// lower right. A quadrant's mean appearance is its foreground in that share and its background in the rest.
extern const uint8_t terminal_quadrant_ink[256][4];

// 1 (the default): the grid, and the wide layout at 160 x 50 on cells of 1 : 2, look their terminal
// cells up by character and attribute; 0: every frame is worked out from the quadrants, as the tables
// were filled (tests compare the two).
void terminal_layout_use_tables(int on);
