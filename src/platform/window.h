// window.h -- the console window (SDL) and video capture backends
#pragma once
#include <cstdint>

#include "platform/vga.h"

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
