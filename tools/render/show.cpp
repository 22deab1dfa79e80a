// show.cpp -- kerv16-render over the show: frames at chosen times, a per-frame log, a contact sheet, a benchmark
//
// The show starts up as it does for an audience, on the null display and without sound, and then
// runs on a stepped clock: t = 0, step, 2 x step, ... so the same arguments give the same frames.
#include "render.h"
#include "measure.h"

#include "console/console.h"
#include "demo/demo.h"
#include "gfx2d/gfx2d.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/terminal.h"
#include "scenes/scenes.h"
#include "timeline/timeline.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <vector>

// ---- types ----

enum {
    DEFAULT_STEP_MS = 20,
    SHOW_LIMIT_MS = 30 * 60 * 1000,  // a timeline without an end stops here unless --until says otherwise
};

// Mean and worst of one timed stage.
struct Timing {
    double sum_ms, worst_ms;
};

struct SceneBench {
    long frames;
    Timing compose, convert, encode, whole;   // whole: the three together
    double bytes;  // terminal bytes of all frames
};

// ---- state ----

static struct {
    int step;                   // ms between frames
    std::vector<long> times;    // requested frame times on the step grid, ascending, unique
    const char* out;            // folder for --times
    const char* log;            // file for --log
    const char* sheet;          // PNG for --sheet
    long until;                 // last demo time to render, -1 for the end flag
    int bench;                  // 1 for --bench
} opt;

// ---- internal functions ----

static int usage(void)
{
    fprintf(stderr,
            "usage: kerv16-render [--times T1,T2,... --out DIR] [--log FILE] [--sheet PNG] [--bench] [--until MS]\n"
            "                     [--step MS]\n"
            "  run from a folder holding data/; times in ms of demo time, rounded down to the step\n");
    return 2;
}

static int parse_whole(const char* text, long* out)
{
    char* end;
    long v = strtol(text, &end, 10);
    if (end == text || *end || v < 0)
        return 0;
    *out = v;
    return 1;
}

static int parse_times(const char* text)
{
    const char* p = text;
    while (*p) {
        char* end;
        long t = strtol(p, &end, 10);
        if (end == p || t < 0 || (*end && *end != ','))
            return 0;
        opt.times.push_back(t / opt.step * opt.step);
        p = *end ? end + 1 : end;
    }
    std::sort(opt.times.begin(), opt.times.end());
    opt.times.erase(std::unique(opt.times.begin(), opt.times.end()), opt.times.end());
    return !opt.times.empty();
}

static int parse_options(int argc, char** argv)
{
    const char* times = nullptr;
    opt.step = DEFAULT_STEP_MS;
    opt.until = -1;
    long value;
    for (int i = 1; i < argc; i++) {
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!strcmp(argv[i], "--times") && next)
            times = next, i++;
        else if (!strcmp(argv[i], "--out") && next)
            opt.out = next, i++;
        else if (!strcmp(argv[i], "--log") && next)
            opt.log = next, i++;
        else if (!strcmp(argv[i], "--sheet") && next)
            opt.sheet = next, i++;
        else if (!strcmp(argv[i], "--until") && next && parse_whole(next, &value))
            opt.until = value, i++;
        else if (!strcmp(argv[i], "--step") && next && parse_whole(next, &value) && value > 0 && value <= 60000)
            opt.step = (int)value, i++;
        else if (!strcmp(argv[i], "--bench"))
            opt.bench = 1;
        else {
            fprintf(stderr, "kerv16-render: unexpected or bad argument %s\n", argv[i]);
            return 0;
        }
    }
    if (times && !parse_times(times)) {
        fprintf(stderr, "kerv16-render: --times wants whole milliseconds separated by commas: %s\n", times);
        return 0;
    }
    if (!times != !opt.out) {
        fprintf(stderr, "kerv16-render: --times and --out go together\n");
        return 0;
    }
    return times || opt.log || opt.sheet || opt.bench;
}

// The show's own start-up on a stepped clock from 0, minus the viewer and the music.
static int start_show(void) { return demo_start_stepped(); }

static int write_frame(long t)
{
    char path[4096];
    int ok = 1;
    snprintf(path, sizeof path, "%s/t%ld.screen.png", opt.out, t);
    ok &= render_write_screen_png(path, screen_pixels());
    snprintf(path, sizeof path, "%s/t%ld.cells.png", opt.out, t);
    ok &= render_write_cells_png(path, cell_buffer);
    snprintf(path, sizeof path, "%s/t%ld.cells.bin", opt.out, t);
    ok &= render_write_cells_bin(path, cell_buffer);
    if (!ok)
        fprintf(stderr, "kerv16-render: could not write the frame of %ld ms into %s\n", t, opt.out);
    return ok;
}

static void log_frame(FILE* f)
{
    const ComposeInfo* c = &compose_info;
    ScreenMeasure m = measure_screen(screen_pixels());
    fprintf(f, "%d\t%d\t%d\t%.9g\t%.9g\t%d\t%d\t%.2f\t%.2f\n", c->t, c->scene, c->part, (double)c->time,
            (double)c->var, c->overlay, c->greet, m.mean, m.detail);
}

// Processor time of this thread: on a machine shared with other work it varies far less than wall time.
static double now_ms(void)
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return (double)ts.tv_sec * 1000.0 + (double)ts.tv_nsec / 1e6;
}

static void add_timing(Timing* t, double ms)
{
    t->sum_ms += ms;
    t->worst_ms = std::max(t->worst_ms, ms);
}

static void print_row(const char* label, const SceneBench& b)
{
    double n = (double)b.frames;
    printf("%-7s %7ld  %8.3f %8.3f  %8.3f %8.3f  %8.3f %8.3f  %9.0f  %8.3f %8.3f\n", label, b.frames,
           b.compose.sum_ms / n, b.compose.worst_ms, b.convert.sum_ms / n, b.convert.worst_ms, b.encode.sum_ms / n,
           b.encode.worst_ms, b.bytes / n, b.whole.sum_ms / n, b.whole.worst_ms);
}

static void print_bench(const std::map<int, SceneBench>& scenes, long last_t)
{
    printf("show to %ld ms at a %d ms step; processor milliseconds per frame (mean, worst)\n", last_t, opt.step);
    printf("%-7s %7s  %17s  %17s  %17s  %9s  %17s\n", "scene", "frames", "composition", "cell conversion",
           "terminal encoding", "bytes", "whole frame");
    SceneBench total = {};
    for (const auto& [scene, b] : scenes) {
        char label[16];
        snprintf(label, sizeof label, "%d", scene);
        print_row(label, b);
        total.frames += b.frames;
        total.bytes += b.bytes;
        for (auto [sum, part] : {std::pair{&total.compose, &b.compose}, {&total.convert, &b.convert},
                                 {&total.encode, &b.encode}, {&total.whole, &b.whole}}) {
            sum->sum_ms += part->sum_ms;
            sum->worst_ms = std::max(sum->worst_ms, part->worst_ms);
        }
    }
    if (!total.frames)
        return;
    print_row("total", total);
    double per_frame = (total.compose.sum_ms + total.convert.sum_ms + total.encode.sum_ms) / (double)total.frames;
    printf("frames per second (composition + conversion + encoding): %.1f\n", per_frame > 0 ? 1000.0 / per_frame : 0.0);
}

// ---- public functions ----

int render_show(int argc, char** argv)
{
    if (!parse_options(argc, argv))
        return usage();
    if (opt.out && !render_make_dir(opt.out))
        return 1;
    FILE* log = nullptr;
    if (opt.log) {
        log = fopen(opt.log, "w");
        if (!log) {
            fprintf(stderr, "kerv16-render: cannot write the log %s\n", opt.log);
            return 1;
        }
        fprintf(log, "t\tscene\tpart\ttime\tvar\toverlay\tgreet\tmean\tdetail\n");
    }
    if (!start_show()) {
        if (log)
            fclose(log);
        return 1;
    }

    // The benchmark encodes every frame as the terminal backend would, into memory.
    static TerminalEncoder encoder;
    static char encoded[TERMINAL_FRAME_BYTES];
    static DisplayCell cells[DISPLAY_CELLS];
    static uint32_t last_screen[SCREEN_PIXELS];   // the previous frame's Screen
    terminal_encoder_init(&encoder, DISPLAY_COLS, DISPLAY_ROWS, TERMINAL_COLOURS_24BIT, TERMINAL_CHARSET_UTF8);
    std::map<int, SceneBench> bench;

    // Only --times alone may stop before the end; a log, a sheet or a benchmark runs the whole show.
    int whole_show = opt.log || opt.sheet || opt.bench;
    long next_tile = 0;
    long limit = opt.until >= 0 ? opt.until : (long)SHOW_LIMIT_MS;
    size_t next_time = 0;
    int failed = 0;
    long t = 0;
    for (;; t += opt.step) {
        if (t > limit) {
            if (opt.until < 0)
                fprintf(stderr, "kerv16-render: no end of the show within %d ms; stopped there\n", SHOW_LIMIT_MS);
            t -= opt.step;
            break;
        }
        clock_set((uint32_t)t);
        double start = now_ms();
        demo_frame((int)t);
        double compose_ms = now_ms() - start;
        if (opt.bench) {
            // The frame is converted once inside compose_frame; converting it again gives that share.
            // Conversion remembers each position's last block, so the previous frame goes first,
            // untimed: the timed pass then finds what the show's own pass found.
            convert_screen(last_screen, cells);
            start = now_ms();
            convert_screen(screen_pixels(), cells);
            double convert_ms = now_ms() - start;
            memcpy(last_screen, screen_pixels(), sizeof last_screen);
            start = now_ms();
            size_t bytes = terminal_encode_frame(&encoder, cells, encoded, sizeof encoded);
            double encode_ms = now_ms() - start;
            SceneBench* b = &bench[compose_info.scene];
            b->frames++;
            add_timing(&b->compose, std::max(0.0, compose_ms - convert_ms));
            add_timing(&b->convert, convert_ms);
            add_timing(&b->encode, encode_ms);
            add_timing(&b->whole, std::max(compose_ms, convert_ms) + encode_ms);
            b->bytes += (double)bytes;
        }
        if (log)
            log_frame(log);
        if (opt.sheet && t >= next_tile) {
            sheet_add(cell_buffer, t);
            while (next_tile <= t)
                next_tile += SHEET_EVERY_MS;
        }
        while (next_time < opt.times.size() && opt.times[next_time] == t) {
            failed |= !write_frame(t);
            next_time++;
        }
        if (end_flag)
            break;
        if (!whole_show && next_time == opt.times.size())
            break;
    }
    if (next_time < opt.times.size()) {
        fprintf(stderr, "kerv16-render: times from %ld ms on lie after the last frame (%ld ms)\n",
                opt.times[next_time], t);
        failed = 1;
    }
    if (log && fclose(log) != 0) {
        fprintf(stderr, "kerv16-render: could not finish the log %s\n", opt.log);
        failed = 1;
    }
    if (opt.sheet && !sheet_write(opt.sheet))
        failed = 1;
    if (opt.bench)
        print_bench(bench, t);
    demo_stop();
    return failed;
}
