// watch_poll.cpp -- watched files on Windows: each file's attributes, size and write time, looked at every WATCH_POLL_MS
#include "platform/watch.h"

#include "platform/clock.h"

#include <cstdio>
#include <cstring>
#include <windows.h>

// ---- types ----

struct WatchedFile {
    char path[WATCH_PATH_MAX];
    int exists;                  // 1 when the last look found it
    WIN32_FILE_ATTRIBUTE_DATA seen;  // what it found
    int changed;                 // 1 until reported
};

// ---- state ----

static struct {
    WatchedFile files[WATCH_FILES];
    int count;
    uint32_t next_ms;            // clock of the next look
} watch;

// ---- internal functions ----

static void look(WatchedFile* f, int first)
{
    WIN32_FILE_ATTRIBUTE_DATA now;
    int exists = GetFileAttributesExA(f->path, GetFileExInfoStandard, &now) != 0;
    if (!first && (exists != f->exists ||
                   (exists && (now.dwFileAttributes != f->seen.dwFileAttributes ||
                               now.nFileSizeLow != f->seen.nFileSizeLow || now.nFileSizeHigh != f->seen.nFileSizeHigh ||
                               memcmp(&now.ftLastWriteTime, &f->seen.ftLastWriteTime, sizeof now.ftLastWriteTime) != 0))))
        f->changed = 1;
    f->exists = exists;
    if (exists)
        f->seen = now;
}

// ---- public functions ----

int watch_file(const char* path)
{
    if (watch.count >= WATCH_FILES || strlen(path) >= WATCH_PATH_MAX)
        return -1;
    WatchedFile* f = &watch.files[watch.count];
    snprintf(f->path, sizeof f->path, "%s", path);
    f->changed = 0;
    look(f, 1);
    return watch.count++;
}

int watch_changed(void)
{
    uint32_t now = clock_ticks();
    if ((int32_t)(now - watch.next_ms) >= 0) {
        watch.next_ms = now + WATCH_POLL_MS;
        for (int i = 0; i < watch.count; i++)
            look(&watch.files[i], 0);
    }
    for (int i = 0; i < watch.count; i++)
        if (watch.files[i].changed) {
            watch.files[i].changed = 0;
            return i;
        }
    return -1;
}

void watch_close(void) { watch.count = 0; }
