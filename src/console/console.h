// console.h -- console presentation: 3 x 3 pixel blocks become 80 x 50 cells, written in one go
#pragma once
#include <cstdint>

#include "platform/display.h"

// ---- tables other subsystems may read ----

// The 16 console colours (bit 0 blue, 1 green, 2 red, 3 intense) as red, green, blue.
extern const uint8_t console_palette[16][3];

// The cells of the last frame, row-major (cell = row x 80 + column).
extern DisplayCell cell_buffer[DISPLAY_CELLS];

// ---- functions, in the order of a run ----

void console_setup(int width, int height, int fullscreen);  // grid size and full screen, best effort
int console_output_handle(void);                            // refreshes the output handle

// Loads "data/charmap.lut" and "data/colmap.lut". Returns 1 when both are complete; otherwise
// prints one line naming the file, its size and the size expected, and returns 0.
int load_cell_tables(void);

// The attribute (background x 16 + foreground) of cell (column, row); the character goes to *character.
uint8_t convert_cell(const uint32_t* pixels, int column, int row, uint8_t* character);
void convert_screen(const uint32_t* pixels, DisplayCell* cells);  // all 4000 cells

void present_screen(const uint32_t* pixels);  // convert_screen into cell_buffer, then one display write
