// displays_web.cpp -- the displays of the web build by name: the page's canvas, and null
#include "platform/display.h"

// ---- the backends (each in a file of its own) ----

extern const DisplayDriver display_web_driver;  // display_web.cpp

// ---- public functions ----

const DisplayDriver* const display_table[] = {
    &display_web_driver,
    &display_null_driver,
    nullptr,
};
