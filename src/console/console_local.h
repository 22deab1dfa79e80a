// console_local.h -- what the cell conversion files share: the two tables, the shade ramp, the block helpers
#pragma once
#include <cstdint>

// ---- types ----

// A console colour under consideration, or a pixel under test (index -1 while none is chosen).
struct CellColour {
    int index;  // console colour 0-15, -1 when not chosen
    int red, green, blue;  // 0-255
};

enum {
    CELL_LEVELS = 6,                                    // coverage levels of the pattern path
    CELL_PATTERNS = 19683,                              // 3^9 base-3 patterns of a 3 x 3 block
    CHAR_TABLE_BYTES = CELL_LEVELS * CELL_PATTERNS,     // 118098: size of "data/charmap.lut"
    CELL_COLOURS = 32768,                               // 15-bit colour indices, red in the top five bits
    COLMAP_BYTES = CELL_COLOURS + CELL_COLOURS * 4,     // 163840: size of "data/colmap.lut"
    SHADE_STEPS = 37,                                   // entries of shade_ramp
    CELL_FLAT_SPREAD = 256,                             // a block whose spread is at most this is flat
};

// ---- state ----

// char_table[level x 19683 + code]: the character drawing base-3 pattern `code` at coverage level 0-5.
extern uint8_t char_table[CHAR_TABLE_BYTES];
// colour_table[idx]: background x 16 + foreground for 15-bit colour idx.
extern uint8_t colour_table[CELL_COLOURS];
// mix_table[idx]: fraction of foreground for the shade ramp (0 to 0.5), negative for the pattern path.
extern float mix_table[CELL_COLOURS];
// From no foreground to about half foreground; entry 36 is character code 0.
extern const uint8_t shade_ramp[SHADE_STEPS];

// ---- internal functions ----

int cell_colour_index(int red, int green, int blue);  // (R >> 3) x 1024 + (G >> 3) x 32 + (B >> 3)
int colour_distance(const CellColour* p, const CellColour* q);  // weighted RGB distance, symmetric
int nearest_console_colour(const CellColour* pixel, int* distance);  // ties go to the higher index
int cell_noise(int column, int row);  // 0-3, fixed per cell position
int pattern_code(const int digits[9]);  // digit 0 (top-left) is the least significant
uint8_t dither_char(int column, int row, float mix);
uint8_t pattern_char(const uint32_t* pixels, int column, int row, int a, int b);
// Background *a, foreground *b and the mix of the block of cell (column, row); mix -1 for detailed blocks.
void choose_cell_colours(const uint32_t* pixels, int column, int row, int* a, int* b, float* mix);
