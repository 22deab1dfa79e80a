// terminal_cells.h -- the glyphs' ink per quadrant, which the terminal layouts mix colours by (generated from the 8 x 8 font)
#pragma once
#include <cstdint>

// Ink pixels (0-16) of every glyph in its four 4 x 4 quadrants: upper left, upper right, lower left,
// lower right. A quadrant's mean appearance is its foreground in that share and its background in the rest.
extern const uint8_t terminal_quadrant_ink[256][4];
