// watch_web.cpp -- the web page watches no files: its content comes packed with the page
#include "platform/watch.h"

int watch_file(const char*) { return -1; }

int watch_changed(void) { return -1; }

void watch_close(void) {}
