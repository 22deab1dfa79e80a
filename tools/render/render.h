// render.h -- the modes of kerv16-render and what they share
#pragma once
#include <cstdint>

#include "platform/vga.h"

// Modes; each takes the whole command line and returns the exit status.
int render_picture(int argc, char** argv);  // --picture FILE --cells OUT.bin --png OUT.png
int render_show(int argc, char** argv);     // --times / --log / --bench over the show
int render_gml(int argc, char** argv);      // --gml FILE --times ... --out DIR
int render_video(int argc, char** argv);    // --video FILE: a capture against the show's drawing

// Shared output helpers.
int render_write_png(const char* path, const uint8_t* rgb, int width, int height);  // 1 on success
int render_write_screen_png(const char* path, const uint32_t* pixels);              // 240 x 150
int render_write_cells_png(const char* path, const DisplayCell* cells);             // 640 x 400, 8 x 8 glyphs
int render_write_cells_bin(const char* path, const DisplayCell* cells);             // 4000 x (char, attr)
int render_make_dir(const char* dir);  // the output folder and its parents; 1 when it is there (else reported)

// The contact sheet: tiles of half the cell drawing's size, a time label under each, in rows.
enum {
    SHEET_EVERY_MS = 6000,  // demo time between two tiles
    SHEET_COLUMNS = 6,
    SHEET_TILE_W = VGA_PIXELS_W / 2,
    SHEET_TILE_H = VGA_PIXELS_H / 2,
    SHEET_LABEL_H = 12,  // one line of 8 x 8 glyphs below each tile
    SHEET_GAP = 4,       // black around and between tiles
};
void sheet_layout(int count, int* width, int* height);  // the sheet's size in pixels for count tiles
void sheet_add(const DisplayCell* cells, long t);       // the frame of demo time t (ms) as the next tile
int sheet_write(const char* path);                      // 1 on success; names the file on failure
