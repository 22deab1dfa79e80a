// displays_posix.cpp -- the displays of the Linux build by name; the first is the one a plain start uses
#include "platform/display.h"

// ---- the backends (each in a file of its own) ----

extern const DisplayDriver display_terminal_driver;  // display_terminal.cpp
extern const DisplayDriver display_window_driver;    // display_window.cpp
extern const DisplayDriver display_capture_driver;   // display_capture.cpp

// ---- public functions ----

const DisplayDriver* const display_table[] = {
    &display_terminal_driver,
    &display_window_driver,
    &display_capture_driver,
    &display_null_driver,
    nullptr,
};
