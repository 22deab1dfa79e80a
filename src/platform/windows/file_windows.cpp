// file_windows.cpp -- input files opened only when they are regular files (Windows: no FIFOs to block on)
#include "platform/file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

// ---- state ----

static const char* problem = "";  // why the last open failed

// ---- public functions ----

FILE* file_open_data(const char* name)
{
    if (!name || !name[0]) {
        problem = "no file name";
        return nullptr;
    }
    struct _stat64 st;
    if (_stat64(name, &st) != 0) {
        problem = errno == ENOENT ? "no such file" : strerror(errno);
        return nullptr;
    }
    if (st.st_mode & _S_IFDIR) {
        problem = "a directory, not a file";
        errno = EISDIR;
        return nullptr;
    }
    if (!(st.st_mode & _S_IFREG)) {
        problem = "not a regular file (a device)";
        errno = ENODEV;
        return nullptr;
    }
    FILE* f = fopen(name, "rb");
    if (!f)
        problem = strerror(errno);
    return f;
}

const char* file_problem(void) { return problem; }
