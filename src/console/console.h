// console.h -- console presentation: 3 x 3 pixel blocks become 80 x 50 cells, written in one go
#pragma once
#include <cstdint>

#include "console/cell_format.h"
#include "platform/display.h"

// ---- tables other subsystems may read ----

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

// The console colour nearest to a colour, as detailed blocks pick theirs (ties go to the higher index).
int console_nearest_colour(int red, int green, int blue);
