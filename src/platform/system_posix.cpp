// system_posix.cpp -- the operating system on Linux: where the executable lives
#include "platform/system.h"

#include <cstring>
#include <unistd.h>

int sys_executable_dir(char* out, size_t capacity)
{
    if (capacity < 2)
        return 0;
    ssize_t n = readlink("/proc/self/exe", out, capacity - 1);
    if (n <= 0 || (size_t)n >= capacity - 1)  // a full buffer may hold a cut name
        return 0;
    out[n] = 0;
    char* slash = strrchr(out, '/');
    if (!slash)
        return 0;
    slash[slash == out] = 0;  // the root keeps its "/"
    return 1;
}
