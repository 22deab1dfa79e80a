// console_local.h -- what the cell conversion files share: the loaded tables and the block helpers
#pragma once
#include <cstdint>

#include "console/cell_format.h"

// ---- types ----

// A console colour under consideration, or a pixel under test (index -1 while none is chosen).
struct CellColour {
    int index;  // console colour 0-15, -1 when not chosen
    int red, green, blue;  // 0-255
};

enum {
    CELL_FLAT_SPREAD = 256,  // a block whose spread is at most this is flat
};

// ---- state ----

// char_table[level x 19683 + code]: the character drawing base-3 pattern `code` at coverage level 0-5.
extern uint8_t char_table[CHAR_TABLE_BYTES];
// colour_table[idx]: background x 16 + foreground for 15-bit colour idx.
extern uint8_t colour_table[CELL_COLOURS];
// mix_table[idx]: fraction of foreground for the shade ramp (0 to 0.5), negative for the pattern path.
extern float mix_table[CELL_COLOURS];

// ---- internal functions ----

int colour_distance(const CellColour* p, const CellColour* q);  // weighted RGB distance, symmetric
int nearest_console_colour(const CellColour* pixel, int* distance);  // ties go to the higher index
int cell_noise(int column, int row);  // 0-3, fixed per cell position
int pattern_code(const int digits[9]);  // digit 0 (top-left) is the least significant
uint8_t dither_char(int column, int row, float mix);
uint8_t pattern_char(const uint32_t* pixels, int column, int row, int a, int b);
// Background *a, foreground *b and the mix of the block of cell (column, row); mix -1 for detailed blocks.
void choose_cell_colours(const uint32_t* pixels, int column, int row, int* a, int* b, float* mix);
