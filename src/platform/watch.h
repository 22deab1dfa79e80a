// watch.h -- files watched for changes on disk: which of them changed, asked without waiting
//
// A file is watched through its folder, so that every way an editor saves is seen: written in place,
// written to a temporary file and renamed over it, deleted and made again, or something else put in
// its place. Linux asks the kernel (watch_inotify.cpp); Windows looks at the files' times and sizes
// every WATCH_POLL_MS (watch_poll.cpp).
#pragma once

// ---- types ----

enum {
    WATCH_FILES = 16,        // files watched at once
    WATCH_PATH_MAX = 1024,   // bytes of a path, terminator included
    WATCH_POLL_MS = 50,      // how often the polling backend looks
};

// ---- functions ----

// Starts watching path (which need not exist yet). Its index, or -1 when no more files can be
// watched or its folder cannot be.
int watch_file(const char* path);
// The index of a watched file that changed since it was last reported (written, replaced, removed
// or made), -1 when none did. Never waits.
int watch_changed(void);
void watch_close(void);      // watches nothing from here on
