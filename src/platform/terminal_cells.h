// terminal_cells.h -- tables the terminal layouts draw console cells with (generated from the 8 x 8 font)
#pragma once
#include <cstdint>

// Grid layout: each console cell is one terminal cell of four quadrants (4 x 4 glyph pixels each),
// each in the foreground or the background: bit 0 upper left, 1 upper right, 2 lower left, 3 lower right.
extern const uint8_t terminal_grid_masks[256];

// Ink pixels (0-16) of every glyph in its four 4 x 4 quadrants: upper left, upper right, lower left,
// lower right. The compact layout mixes a cell's two colours by these.
extern const uint8_t terminal_quadrant_ink[256][4];
