// sync.cpp -- keyed tracks: the device, loading a track file, finding keys, interpolating
#include "timeline/timeline.h"
#include "platform/msg.h"
#include "timeline/track_format.h"
#include "platform/file.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---- types ----

enum {
    SYNC_PATH_MAX = 260,   // bytes of a track file path, terminator included
    SYNC_TYPE_LAST = TRACK_RAMP,  // step, linear, smooth, ramp: 0 to 3; any other type holds 0
};

// ---- state ----

static char track_path[SYNC_PATH_MAX];  // result of sync_track_path, overwritten by the next call

// ---- internal functions ----

static char* copy_string(const char* s)
{
    size_t n = strlen(s) + 1;
    char* copy = (char*)malloc(n);
    if (copy)
        memcpy(copy, s, n);
    return copy;
}

// Appends s to buf (holding used bytes) without passing SYNC_PATH_MAX - 1 characters.
static size_t append_bounded(char* buf, size_t used, const char* s)
{
    while (*s && used < SYNC_PATH_MAX - 1)
        buf[used++] = *s++;
    buf[used] = 0;
    return used;
}

static int32_t read_le32(const unsigned char* p)
{
    return (int32_t)((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24);
}

// Rejects the file content: the track keeps no keys and one line says why.
static int reject(const char* path, SyncTrack* track, const char* problem, long detail)
{
    msg_print(stderr, "sync: %s: %s (%ld); track left without keys\n", path, problem, detail);
    free(track->keys);
    track->keys = nullptr;
    track->key_count = 0;
    return 2;
}

// ---- public functions ----

SyncDevice* sync_create(const char* base)
{
    SyncDevice* device = (SyncDevice*)malloc(sizeof(SyncDevice));
    if (!device)
        return nullptr;
    device->base = copy_string(base ? base : "");
    if (!device->base) {
        free(device);
        return nullptr;
    }
    device->tracks = nullptr;
    device->track_count = 0;
    return device;
}

int sync_find_track(SyncDevice* device, const char* name)
{
    for (int i = 0; i < device->track_count; i++)
        if (strcmp(device->tracks[i]->name, name) == 0)
            return i;
    return -1;
}

int sync_add_track(SyncDevice* device, const char* name)
{
    SyncTrack* track = (SyncTrack*)calloc(1, sizeof(SyncTrack));
    char* copy = copy_string(name);
    SyncTrack** grown = (SyncTrack**)realloc(device->tracks, sizeof(SyncTrack*) * (device->track_count + 1));
    if (!track || !copy || !grown) {
        // Out of memory at start-up: nothing sensible is left to do.
        msg_print(stderr, "sync: out of memory adding track %s\n", name);
        abort();
    }
    track->name = copy;
    device->tracks = grown;
    device->tracks[device->track_count] = track;
    return device->track_count++;
}

SyncTrack* sync_get_track(SyncDevice* device, const char* name)
{
    int i = sync_find_track(device, name);
    if (i >= 0)
        return device->tracks[i];
    i = sync_add_track(device, name);
    // A missing file leaves the track without keys: 0 at every row.
    sync_load_track(sync_track_path(device->base, name), device->tracks[i]);
    return device->tracks[i];
}

const char* sync_track_path(const char* base, const char* name)
{
    size_t used = append_bounded(track_path, 0, base);
    used = append_bounded(track_path, used, "_");
    used = append_bounded(track_path, used, name);
    append_bounded(track_path, used, ".track");
    return track_path;
}

// Returns 0 when the file was read, 1 when it could not be opened, 2 when its content was rejected.
// The key count is checked against the file size before anything is allocated, and the rows must
// rise strictly (the search relies on it); bytes after the last key are ignored. A value that is
// not finite (the scenes would feed it on into their maths) marks the file as corrupt. A type other
// than 0..3 is kept and holds 0 up to the next key; such a track is likely damaged, so the first
// such key is named once, but the track plays.
int sync_load_track(const char* path, SyncTrack* track)
{
    FILE* f = file_open_data(path);
    if (!f) {
        // A missing track is silent (it yields 0 everywhere); anything else in its place is named.
        if (errno != ENOENT)
            msg_print(stderr, "sync: %s: %s; track left without keys\n", path, file_problem());
        return 1;
    }
    long size = -1;
    if (fseek(f, 0, SEEK_END) == 0)
        size = ftell(f);
    rewind(f);
    unsigned char head[TRACK_COUNT_BYTES];
    if (size < TRACK_COUNT_BYTES || fread(head, 1, TRACK_COUNT_BYTES, f) != TRACK_COUNT_BYTES) {
        fclose(f);
        return reject(path, track, "file too short for a key count, bytes", size);
    }
    int32_t n = read_le32(head);
    if (n < 0) {
        fclose(f);
        return reject(path, track, "negative key count", n);
    }
    if ((long)n > (size - TRACK_COUNT_BYTES) / TRACK_KEY_BYTES) {
        fclose(f);
        return reject(path, track, "keys truncated: key count larger than the file holds", n);
    }
    SyncKey* keys = n ? (SyncKey*)malloc(sizeof(SyncKey) * (size_t)n) : nullptr;
    if (n && !keys) {
        fclose(f);
        return reject(path, track, "out of memory for keys", n);
    }
    free(track->keys);
    track->keys = keys;
    track->key_count = 0;
    int32_t odd_key = -1;  // the first key of a type other than 0..3
    for (int32_t i = 0; i < n; i++) {
        unsigned char rec[TRACK_KEY_BYTES];
        if (fread(rec, 1, TRACK_KEY_BYTES, f) != TRACK_KEY_BYTES) {
            fclose(f);
            return reject(path, track, "read failed at key", i);
        }
        keys[i].row = read_le32(rec + TRACK_KEY_ROW);
        uint32_t bits = (uint32_t)read_le32(rec + TRACK_KEY_VALUE);
        memcpy(&keys[i].value, &bits, 4);
        keys[i].type = (int8_t)rec[TRACK_KEY_TYPE];
        if (!std::isfinite(keys[i].value)) {
            fclose(f);
            return reject(path, track, "value not finite at key", i);
        }
        if (odd_key < 0 && (keys[i].type < TRACK_STEP || keys[i].type > SYNC_TYPE_LAST))
            odd_key = i;
        if (i > 0 && keys[i].row <= keys[i - 1].row) {
            fclose(f);
            return reject(path, track, "rows not strictly increasing at key", i);
        }
    }
    fclose(f);
    track->key_count = n;
    if (odd_key >= 0)
        msg_print(stderr, "sync: %s: interpolation type %d at key %d (row %d) holds 0 up to the next key; "
                  "the track is played as it is\n", path, keys[odd_key].type, odd_key, keys[odd_key].row);
    return 0;
}

int sync_find_key(const SyncTrack* track, int row)
{
    int lo = 0, hi = track->key_count;
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (track->keys[mid].row < row)
            lo = mid + 1;
        else if (track->keys[mid].row > row)
            hi = mid;
        else
            return mid;
    }
    return -1 - lo;
}

float sync_get_value(const SyncTrack* track, double x)
{
    if (!track || track->key_count == 0)
        return 0.0f;
    double fl = floor(x);
    // Rows outside the integer range (or not a number) clamp instead of overflowing the conversion.
    // Below it x clamps too: with a key on INT_MIN, t would otherwise leave 0..1 and the value
    // run off to infinity.
    if (!(fl >= (double)INT_MIN))
        x = fl = (double)INT_MIN;
    int r = fl >= (double)INT_MAX ? INT_MAX : (int)fl;
    int i = sync_find_key(track, r);
    if (i < 0) {
        i = -i - 2;
        if (i < 0)
            return track->keys[0].value;
    }
    if (i > track->key_count - 2)
        return track->keys[track->key_count - 1].value;
    const SyncKey* k = &track->keys[i];
    const SyncKey* n = &track->keys[i + 1];
    double t = (x - k->row) / ((double)n->row - k->row);
    // Two finite keys far apart (3e38 and -3e38) overflow a float difference; 0 x infinity would
    // then give NaN between them. Such pairs take the difference in double, the rest as always.
    double delta = n->value - k->value;
    if (!std::isfinite(delta))
        delta = (double)n->value - (double)k->value;
    switch (k->type) {
    case TRACK_STEP:
        return k->value;
    case TRACK_LINEAR:
        return (float)(k->value + t * delta);
    case TRACK_SMOOTH:
        return (float)(k->value + t * t * (3 - 2 * t) * delta);
    case TRACK_RAMP:
        return (float)(k->value + t * t * delta);  // what glibc's pow(t, 2) gives, on every build
    default:
        return 0.0f;
    }
}
