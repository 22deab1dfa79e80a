// render.h -- the modes of kerv16-render and what they share
#pragma once
#include <cstdint>

#include "platform/display.h"

// Modes; each takes the whole command line and returns the exit status.
int render_picture(int argc, char** argv);  // --picture FILE --cells OUT.bin --png OUT.png
int render_show(int argc, char** argv);     // --times / --log / --bench over the show
int render_gml(int argc, char** argv);      // --gml FILE --times ... --out DIR

// Shared output helpers.
int render_write_png(const char* path, const uint8_t* rgb, int width, int height);  // 1 on success
int render_write_screen_png(const char* path, const uint32_t* pixels);              // 240 x 150
int render_write_cells_png(const char* path, const DisplayCell* cells);             // 640 x 400, 8 x 8 glyphs
int render_write_cells_bin(const char* path, const DisplayCell* cells);             // 4000 x (char, attr)
int render_make_dir(const char* dir);  // the output folder and its parents; 1 when it is there (else reported)
