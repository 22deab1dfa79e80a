// cells_draw.cpp -- the window's and the capture's cells, drawn in the 16 console colours
#include "platform/window.h"

#include "console/console.h"

// ---- public functions ----

void cells_draw_argb(const DisplayCell* cells, uint32_t* pixels, int pitch)
{
    console_draw_cells(cells, console_palette, pixels, pitch);
}

void cells_draw_rgb(const DisplayCell* cells, uint8_t* rgb)
{
    console_draw_cells_rgb(cells, console_palette, rgb);
}
