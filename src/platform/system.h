// system.h -- what the program asks of the operating system besides display, clock and sound
#pragma once
#include <cstddef>

// The folder holding the running executable, without a trailing separator; 0 when it cannot be told.
int sys_executable_dir(char* out, size_t capacity);
