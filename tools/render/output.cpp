// output.cpp -- PLACEHOLDER until the picture converter lands: PNG and cell file writers
#include "render.h"

int render_write_png(const char*, const uint8_t*, int, int) { return 0; }
int render_write_screen_png(const char*, const uint32_t*) { return 0; }
int render_write_cells_png(const char*, const DisplayCell*) { return 0; }
int render_write_cells_bin(const char*, const DisplayCell*) { return 0; }
