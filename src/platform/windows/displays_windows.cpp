// displays_windows.cpp -- the displays of the Windows build by name; the first is the one a plain start uses
#include "platform/display.h"

// ---- the backends (each in a file of its own) ----

extern const DisplayDriver display_console_driver;  // display_console.cpp

// ---- public functions ----

const DisplayDriver* const display_table[] = {
    &display_console_driver,
    &display_null_driver,
    nullptr,
};
