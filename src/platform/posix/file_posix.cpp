// file.cpp -- input files opened without blocking, and only when they are regular files
#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    // O_NONBLOCK only matters for FIFOs and devices, which are refused below; regular files ignore it.
    int flags = O_RDONLY | O_NONBLOCK;
#ifdef O_BINARY
    flags |= O_BINARY;  // C libraries that translate line ends
#endif
    int fd = open(name, flags);
    if (fd < 0) {
        problem = errno == ENOENT ? "no such file" : strerror(errno);
        return nullptr;
    }
    struct stat st;
    int stat_failed = fstat(fd, &st) != 0;
    if (stat_failed || !S_ISREG(st.st_mode)) {
        int err = stat_failed ? errno : S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
        problem = stat_failed       ? strerror(err)
                  : err == EISDIR   ? "a directory, not a file"
                                    : "not a regular file (a FIFO, socket or device)";
        close(fd);
        errno = err;
        return nullptr;
    }
    FILE* f = fdopen(fd, "rb");
    if (!f) {
        int err = errno;
        problem = strerror(err);
        close(fd);
        errno = err;
    }
    return f;
}

const char* file_problem(void) { return problem; }
