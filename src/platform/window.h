// window.h -- the console window backend's face for its tests: how SDL's events become keys
//
// The window shows the 80 x 50 cells at 640 x 400, scaled by whole numbers; Alt+Enter toggles full
// screen; closing the window reads as Escape. Its driver is a row of the display table.
#pragma once

union SDL_Event;
void window_handle_event(const SDL_Event* event);  // keys into the display's queue, window close, full screen
