// watch_inotify.cpp -- watched files on Linux: inotify on their folders, read without blocking
#include "platform/watch.h"

#include "platform/clock.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

// ---- types ----

enum {
    EVENT_BYTES = 16 * 1024,     // events read at once
    RETRY_MS = 500,              // a folder that went away is looked for again this often
    // Everything that can change what a name holds: writes, closes after writing, renames in and
    // out, creation and deletion (a folder put in a file's place is a creation too).
    WATCH_MASK = IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE,
};

struct WatchedFile {
    char folder[WATCH_PATH_MAX];  // "." for a bare name
    char name[WATCH_PATH_MAX];    // the file's name in it
    int wd;                       // the folder's watch, -1 while it has none
    int changed;                  // 1 until reported
};

// ---- state ----

static struct {
    int fd;                            // the inotify descriptor, -1 until the first file
    WatchedFile files[WATCH_FILES];
    int count;
    uint32_t retry_at;                 // clock when folders without a watch are tried again
    alignas(inotify_event) char events[EVENT_BYTES];
} watch = {-1, {}, 0, 0, {}};

// ---- internal functions ----

static void add_watch(WatchedFile* f)
{
    f->wd = inotify_add_watch(watch.fd, f->folder, WATCH_MASK | IN_ONLYDIR);
}

// The folder's watch went (the folder was removed or moved): each of its files counts as changed,
// and the folder is looked for again.
static void lose_watch(int wd)
{
    for (int i = 0; i < watch.count; i++)
        if (watch.files[i].wd == wd) {
            watch.files[i].wd = -1;
            watch.files[i].changed = 1;
        }
}

static void mark(int wd, const char* name)
{
    for (int i = 0; i < watch.count; i++)
        if (watch.files[i].wd == wd && strcmp(watch.files[i].name, name) == 0)
            watch.files[i].changed = 1;
}

static void read_events(void)
{
    for (;;) {
        ssize_t n = read(watch.fd, watch.events, sizeof watch.events);
        if (n <= 0)
            return;   // EAGAIN: nothing more now
        for (ssize_t at = 0; at + (ssize_t)sizeof(inotify_event) <= n;) {
            const inotify_event* e = (const inotify_event*)(watch.events + at);
            at += (ssize_t)sizeof(inotify_event) + e->len;
            if (e->mask & IN_Q_OVERFLOW) {
                for (int i = 0; i < watch.count; i++)
                    watch.files[i].changed = 1;   // events were lost: anything may have changed
            } else if (e->mask & IN_IGNORED) {
                lose_watch(e->wd);
            } else if (e->len > 0) {
                mark(e->wd, e->name);
            }
        }
    }
}

static void retry_folders(void)
{
    uint32_t now = clock_ticks();
    if ((int32_t)(now - watch.retry_at) < 0)
        return;
    watch.retry_at = now + RETRY_MS;
    for (int i = 0; i < watch.count; i++)
        if (watch.files[i].wd < 0) {
            add_watch(&watch.files[i]);
            if (watch.files[i].wd >= 0)
                watch.files[i].changed = 1;   // back: what it holds now may be new
        }
}

// ---- public functions ----

int watch_file(const char* path)
{
    if (watch.count >= WATCH_FILES || strlen(path) >= WATCH_PATH_MAX)
        return -1;
    if (watch.fd < 0) {
        watch.fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (watch.fd < 0)
            return -1;
    }
    WatchedFile* f = &watch.files[watch.count];
    const char* slash = strrchr(path, '/');
    if (slash) {
        snprintf(f->folder, sizeof f->folder, "%.*s", slash == path ? 1 : (int)(slash - path), path);
        snprintf(f->name, sizeof f->name, "%s", slash + 1);
    } else {
        snprintf(f->folder, sizeof f->folder, ".");
        snprintf(f->name, sizeof f->name, "%s", path);
    }
    add_watch(f);
    if (f->wd < 0)
        return -1;
    f->changed = 0;
    return watch.count++;
}

int watch_changed(void)
{
    if (watch.fd < 0)
        return -1;
    read_events();
    retry_folders();
    for (int i = 0; i < watch.count; i++)
        if (watch.files[i].changed) {
            watch.files[i].changed = 0;
            return i;
        }
    return -1;
}

void watch_close(void)
{
    if (watch.fd >= 0)
        close(watch.fd);
    watch.fd = -1;
    watch.count = 0;
}
