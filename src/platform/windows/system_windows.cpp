// system_windows.cpp -- the operating system on Windows: where the executable lives
#include "platform/system.h"

#include <cstring>
#include <windows.h>

int sys_executable_dir(char* out, size_t capacity)
{
    if (capacity < 2)
        return 0;
    DWORD n = GetModuleFileNameA(nullptr, out, (DWORD)(capacity - 1));
    if (n == 0 || (size_t)n >= capacity - 1)  // a full buffer may hold a cut name
        return 0;
    out[n] = 0;
    char* slash = strrchr(out, '\\');
    char* other = strrchr(out, '/');
    if (other > slash)
        slash = other;
    if (!slash)
        return 0;
    *slash = 0;
    return 1;
}

// The live mode's tools belong to the Linux build: nothing is run here.
int sys_spawn(const char* const*, const char*) { return 0; }

int sys_spawn_done(int* status)
{
    *status = -1;
    return 1;
}

void sys_spawn_stop(void) {}
