// gml.cpp -- kerv16-render --gml: frames of a GML replay at requested times, on a stepped clock, and their timing
#include "render.h"

#include "console/console.h"
#include "gfx2d/gfx2d.h"
#include "gml/gml.h"
#include "platform/clock.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <ctime>
#include <vector>

// ---- state ----

static struct {
    std::vector<long> times;  // requested frame times, on the step grid, ascending
    size_t next;              // first time not written yet
    int step;                 // ms between frames
    const char* out;          // folder for the files
    int failed;               // a file could not be written
    int bench;                // --bench: time every frame, in processor time (steady on a busy machine)
    std::clock_t mark;        // the end of the last frame (first: before loading)
    long frames;              // frames timed
    double total_ms, worst_ms, worst_later_ms;  // worst_later_ms leaves out the first, which loads
} replay;

// ---- internal functions ----

static int parse_times(const char* text, int step)
{
    for (const char* p = text; *p;) {
        char* end;
        long t = strtol(p, &end, 10);
        if (end == p || t < 0)
            return 0;
        replay.times.push_back(t / step * step);
        p = *end == ',' ? end + 1 : end;
        if (*end && *end != ',')
            return 0;
    }
    std::sort(replay.times.begin(), replay.times.end());
    return !replay.times.empty();
}

// Every presented frame passes here: write it when its time was asked for, then step the clock.
static void capture_write(const DisplayCell* cells)
{
    long t = (long)clock_ticks();
    if (replay.bench) {
        double ms = (double)(std::clock() - replay.mark) * 1000.0 / CLOCKS_PER_SEC;
        replay.total_ms += ms;
        replay.worst_ms = std::max(replay.worst_ms, ms);
        if (replay.frames++ > 0)
            replay.worst_later_ms = std::max(replay.worst_later_ms, ms);
    }
    while (replay.next < replay.times.size() && replay.times[replay.next] == t) {
        char path[4096];
        snprintf(path, sizeof path, "%s/t%ld.screen.png", replay.out, t);
        replay.failed |= !render_write_screen_png(path, screen_pixels());
        snprintf(path, sizeof path, "%s/t%ld.cells.png", replay.out, t);
        replay.failed |= !render_write_cells_png(path, cells);
        snprintf(path, sizeof path, "%s/t%ld.cells.bin", replay.out, t);
        replay.failed |= !render_write_cells_bin(path, cells);
        replay.next++;
    }
    clock_advance((uint32_t)replay.step);
    replay.mark = std::clock();  // writing the files is no part of the frame
}

// No keys, no sleep of its own: time passes as the frames step it.
static const DisplayDriver capture_driver = {
    .name = "render",
    .live = 0,
    .open = nullptr,
    .set_grid = nullptr,
    .write_cells = capture_write,
    .poll = nullptr,
    .wait = nullptr,
    .stats = nullptr,
    .close = nullptr,
    .own_text = 0,
};

// ---- public functions ----

int render_gml(int argc, char** argv)
{
    const char *file = nullptr, *times = nullptr;
    replay.step = 20;
    for (int i = 1; i < argc; i++) {
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!strcmp(argv[i], "--gml") && value)
            file = value, i++;
        else if (!strcmp(argv[i], "--times") && value)
            times = value, i++;
        else if (!strcmp(argv[i], "--out") && value)
            replay.out = value, i++;
        else if (!strcmp(argv[i], "--step") && value)
            replay.step = atoi(value), i++;
        else if (!strcmp(argv[i], "--bench"))
            replay.bench = 1;
        else {
            fprintf(stderr, "kerv16-render: unexpected argument %s\n", argv[i]);
            return 2;
        }
    }
    if (!file || (!replay.bench && (!times || !replay.out)) || (times && !replay.out) || replay.step <= 0) {
        fprintf(stderr, "usage: kerv16-render --gml FILE [--times T1,T2,... --out DIR] [--step MS] [--bench]\n");
        return 2;
    }
    if (times && !parse_times(times, replay.step)) {
        fprintf(stderr, "kerv16-render: --times wants whole milliseconds separated by commas: %s\n", times);
        return 2;
    }
    if (replay.out && !render_make_dir(replay.out))
        return 1;
    clock_use_manual(1);
    clock_set(0);
    display_use(&capture_driver);
    screen_create();
    if (!load_cell_tables())
        return 1;
    replay.mark = std::clock();
    gml_replay(file);
    if (replay.bench && replay.frames)
        printf("%s: %ld frames at a %d ms step; processor milliseconds per frame: mean %.3f, worst %.3f "
               "(%.3f after the first, which loads the drawing)\n",
               file, replay.frames, replay.step, replay.total_ms / replay.frames, replay.worst_ms, replay.worst_later_ms);
    if (replay.next < replay.times.size())
        fprintf(stderr, "kerv16-render: times from %ld ms on lie past the 16 s replay\n", replay.times[replay.next]);
    if (replay.failed) {
        fprintf(stderr, "kerv16-render: could not write every file into %s\n", replay.out);
        return 1;
    }
    return 0;
}
