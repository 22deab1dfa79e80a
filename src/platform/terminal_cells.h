// terminal_cells.h -- tables the terminal layouts draw console cells with (generated from the 8 x 8 font)
#pragma once
#include <cstdint>

// Wide layout: each console cell is two terminal cells, each of four quadrants (2 x 4 glyph pixels)
// in the foreground or the background. Low nibble: the left half, high nibble: the right half; in a
// half, bit 0 is the upper left quadrant, 1 upper right, 2 lower left, 3 lower right.
extern const uint8_t terminal_wide_masks[256];

// Grid layout: each console cell is one terminal cell of four quadrants (4 x 4 glyph pixels each),
// bits as in a half of the wide masks.
extern const uint8_t terminal_grid_masks[256];

// Ink pixels (0-16) of every glyph in its four 4 x 4 quadrants: upper left, upper right, lower left,
// lower right. The compact layout mixes a cell's two colours by these.
extern const uint8_t terminal_quadrant_ink[256][4];
