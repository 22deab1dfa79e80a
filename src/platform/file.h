// file.h -- opening the show's input files: regular files only, and never waiting in the open call
#pragma once
#include <cstdio>

// Opens name for reading in binary mode. A FIFO, a device or a directory is refused without blocking
// (a FIFO with no writer would hold the start-up forever). Null when the file cannot be used.
FILE* file_open_data(const char* name);
// Why the last file_open_data failed, as a short text ("no such file", "a directory", ...);
// errno is ENOENT after it exactly when the name does not exist.
const char* file_problem(void);
