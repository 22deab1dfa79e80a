// standins_windows.cpp -- the Linux-only displays (SDL window, ffmpeg capture) as they stand in this build
//
// The entry offers the same options everywhere; here those displays refuse to open with one line,
// so the program stops before the show with the console untouched.
#include "platform/display.h"
#include "platform/window.h"

// ---- internal functions ----

static int refuse(const char* option)
{
    msg_print(stderr, "kerv16: %s is not available in this build (the Windows console build)\n", option);
    return 0;
}

static int window_open(const char*) { return refuse("--window"); }
static int capture_open(const char*) { return refuse("--capture"); }
static void no_grid(int, int, int) {}
static void no_write(const DisplayCell*) {}
static int no_key(void) { return 0; }
static int no_read(void) { return -1; }
static void no_close(void) {}

// ---- public functions ----

const DisplayDriver display_window_driver = {"window", window_open, no_grid, no_write, no_key,
                                             no_read,  no_read,     no_close, nullptr};
const DisplayDriver display_capture_driver = {"capture", capture_open, no_grid, no_write, no_key,
                                              no_read,   no_read,      no_close, nullptr};

int capture_setup(const char*, int, const char*, int) { return 0; }
int capture_finish(void) { return 1; }
