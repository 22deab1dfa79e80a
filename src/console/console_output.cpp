// console_output.cpp -- sizing the console and presenting a frame through the display backend
#include "console/console.h"

// ---- state ----

DisplayCell cell_buffer[DISPLAY_CELLS];
static int output_handle;  // 1 once a display has been asked for; the backend keeps the real handle

// ---- public functions ----

void console_setup(int width, int height, int fullscreen)
{
    display_set_grid(width, height, fullscreen);
}

int console_output_handle(void)
{
    output_handle = 1;
    return output_handle;
}

void convert_screen(const uint32_t* pixels, DisplayCell* cells)
{
    for (int row = 0; row < DISPLAY_ROWS; row++)
        for (int column = 0; column < DISPLAY_COLS; column++) {
            DisplayCell* c = &cells[row * DISPLAY_COLS + column];
            c->attr = convert_cell(pixels, column, row, &c->ch);
        }
}

void present_screen(const uint32_t* pixels)
{
    convert_screen(pixels, cell_buffer);
    display_write(cell_buffer);
}
