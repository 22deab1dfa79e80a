// system.h -- what the program asks of the operating system besides display, clock and sound
#pragma once
#include <cstddef>

// The folder holding the running executable, without a trailing separator; 0 when it cannot be told.
int sys_executable_dir(char* out, size_t capacity);

// One program run beside the show (the live mode's pictures tool), without waiting for it: its input
// from nowhere, its output and errors into the file log_path. 1 when it started; 0 when it could not
// be, or when one is still running, or the platform does not run programs here.
int sys_spawn(const char* const* argv, const char* log_path);
// 0 while the program runs; 1 once it has ended, with its exit status in *status (-1 when a signal
// ended it), and 1 with -1 when none was started.
int sys_spawn_done(int* status);
void sys_spawn_stop(void);   // ends the program if it still runs, and waits for it
