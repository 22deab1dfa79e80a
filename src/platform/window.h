// window.h -- the console window (SDL) and video capture backends, and drawing cells into pixels
#pragma once
#include <cstdint>

#include "platform/display.h"

enum {
    CELL_PIXELS_W = DISPLAY_COLS * 8,  // 640: cells drawn with the 8 x 8 glyphs
    CELL_PIXELS_H = DISPLAY_ROWS * 8,  // 400
};

// Draws 4000 cells as 640 x 400 pixels, 0xAARRGGBB with alpha 255, `pitch` pixels per row.
void cells_draw_argb(const DisplayCell* cells, uint32_t* pixels, int pitch);
// The same as packed red, green, blue bytes, 640 x 3 bytes per row.
void cells_draw_rgb(const DisplayCell* cells, uint8_t* rgb);

// Console window: 80 x 50 cells at 640 x 400, scaled by whole numbers; Alt+Enter toggles full screen;
// closing the window reads as Escape.
extern const DisplayDriver display_window_driver;
union SDL_Event;
void window_handle_event(const SDL_Event* event);  // key mapping, window close (also used by tests)

// Video capture: every frame written is drawn like the window and piped to ffmpeg, and the manual
// clock steps one frame. capture_setup before display_open; the soundtrack is muxed in at the end.
extern const DisplayDriver display_capture_driver;
int capture_setup(const char* file, int fps, const char* soundtrack, int expected_ms);
int capture_finish(void);  // closes the video; 1 when ffmpeg reported success
