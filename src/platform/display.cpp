// display.cpp -- dispatch to the chosen display backend
#include "platform/display.h"

#include "platform/clock.h"

// ---- state ----

static const DisplayDriver* driver = &display_null_driver;

// ---- public functions ----

void display_use(const DisplayDriver* d) { driver = d ? d : &display_null_driver; }
const DisplayDriver* display_current(void) { return driver; }
int display_open(const char* title) { return driver->open(title); }
void display_set_grid(int cols, int rows, int fullscreen) { driver->set_grid(cols, rows, fullscreen); }
void display_write(const DisplayCell* cells) { driver->write_cells(cells); }
int display_key_waiting(void) { return driver->key_waiting(); }
int display_read_key(void) { return driver->read_key(); }
int display_wait_key(void) { return driver->wait_key(); }
void display_close(void) { driver->close(); }
void display_idle(int ms)
{
    if (ms <= 0)
        return;
    if (driver->idle)
        driver->idle(ms);
    else
        clock_sleep((uint32_t)ms);
}
