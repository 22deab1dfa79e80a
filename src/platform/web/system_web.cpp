// system_web.cpp -- what a web page has of an operating system: no executable's folder, no programs to run
#include "platform/system.h"

int sys_executable_dir(char*, size_t) { return 0; }

int sys_spawn(const char* const*, const char*) { return 0; }

int sys_spawn_done(int* status)
{
    *status = -1;
    return 1;
}

void sys_spawn_stop(void) {}
