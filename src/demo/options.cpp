// options.cpp -- the show's command line: one table of options, read in order, and the usage text drawn from it
#include "demo/demo.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---- types ----

enum { OPTION_GO_ON, OPTION_DONE, OPTION_REFUSED };  // what applying an option leaves to do

struct OptionRow {
    const char* name;   // "--stats"
    const char* value;  // what follows it ("FILE", "N"), or null for a flag; "[DIR]": may follow it
    const char* help;   // one line of the usage text
    int (*apply)(DemoOptions* opts, const char* value);  // OPTION_*; a refusal prints why
};

// ---- internal functions ----

static void usage(FILE* out);

// A whole number from lo to hi, nothing else.
static int parse_range(const char* text, int lo, int hi, int* out)
{
    char* end;
    long v = strtol(text, &end, 10);
    if (end == text || *end || v < lo || v > hi)
        return 0;
    *out = (int)v;
    return 1;
}

static int apply_help(DemoOptions*, const char*)
{
    usage(stdout);
    return OPTION_DONE;
}

static int apply_version(DemoOptions*, const char*)
{
    printf("kerv16 %s\n", KERV_VERSION);
    return OPTION_DONE;
}

static int apply_stats(DemoOptions* o, const char*) { return o->stats = 1, OPTION_GO_ON; }
// Of the displays asked for, a capture goes before memory only, and that before the window, in
// whatever order the options come.
static void choose_display(DemoOptions* o, const char* name)
{
    static const char* const FIRST[] = {"capture", "null", "window"};
    for (const char* d : FIRST) {
        if (o->display && strcmp(o->display, d) == 0)
            return;
        if (strcmp(name, d) == 0)
            break;
    }
    o->display = name;
}

static int apply_headless(DemoOptions* o, const char*) { return choose_display(o, "null"), OPTION_GO_ON; }
static int apply_window(DemoOptions* o, const char*) { return choose_display(o, "window"), OPTION_GO_ON; }
static int apply_capture(DemoOptions* o, const char* v)
{
    choose_display(o, "capture");
    o->settings.video = v;
    return OPTION_GO_ON;
}

static int apply_fps(DemoOptions* o, const char* v)
{
    if (parse_range(v, 0, 240, &o->fps))
        return OPTION_GO_ON;
    fprintf(stderr, "kerv16: --fps takes a whole number from 0 to 240\n");
    return OPTION_REFUSED;
}

static int apply_scale(DemoOptions* o, const char* v)
{
    if (parse_range(v, 1, DISPLAY_CAPTURE_SCALE_MAX, &o->settings.scale))
        return OPTION_GO_ON;
    fprintf(stderr, "kerv16: --scale takes a whole number from 1 to %d, not %s\n", DISPLAY_CAPTURE_SCALE_MAX, v);
    return OPTION_REFUSED;
}

static int apply_lossless(DemoOptions* o, const char*) { return o->settings.lossless = 1, OPTION_GO_ON; }

static int apply_layout(DemoOptions* o, const char* v)
{
    o->settings.layout = display_layout_parse(v);
    if (o->settings.layout >= 0)
        return OPTION_GO_ON;
    fprintf(stderr, "kerv16: --layout takes auto, wide, grid, compact or pixels, not %s\n", v);
    return OPTION_REFUSED;
}

static int apply_graphics(DemoOptions* o, const char* v)
{
    if (strcmp(v, "kitty") == 0 || strcmp(v, "sixel") == 0) {
        o->settings.graphics = v[0] == 'k' ? DISPLAY_GRAPHICS_KITTY : DISPLAY_GRAPHICS_SIXEL;
        return OPTION_GO_ON;
    }
    fprintf(stderr, "kerv16: --graphics takes kitty or sixel, not %s\n", v);
    return OPTION_REFUSED;
}

static int apply_until(DemoOptions* o, const char* v)
{
    if (parse_range(v, 0, 0x7fffffff, &o->until_ms))
        return OPTION_GO_ON;
    fprintf(stderr, "kerv16: --until takes whole milliseconds of demo time, not %s\n", v);
    return OPTION_REFUSED;
}

// How the Windows build draws; the name is checked again there, against KERV16_CONSOLE too.
static int apply_console(DemoOptions* o, const char* v)
{
    if (strcmp(v, "classic") == 0 || strcmp(v, "vt") == 0 || strcmp(v, "text") == 0) {
        o->settings.console = v;
        return OPTION_GO_ON;
    }
    fprintf(stderr, "kerv16: --console takes classic, vt or text, not %s\n", v);
    return OPTION_REFUSED;
}

// Without a folder the content/ of the working directory, where the show is started from the repository.
static int apply_live(DemoOptions* o, const char* v)
{
    o->live = v ? v : "content";
    return OPTION_GO_ON;
}

// The options in the order the usage text lists them; a new option is one more row.
static const OptionRow OPTIONS[] = {
    {"--help", nullptr, "this text", apply_help},
    {"--version", nullptr, "the version", apply_version},
    {"--stats", nullptr, "at exit, print frames drawn, frames per second and bytes written per frame", apply_stats},
    {"--window", nullptr, "show the cells in a window with the VGA font (Alt+Enter: full screen)", apply_window},
    {"--capture", "FILE", "render the whole show into a video (with ffmpeg), as fast as it goes", apply_capture},
    {"--scale", "N", "the capture's pixels N x N per drawn pixel (default 4: 2560 x 1600; with --lossless 1)",
     apply_scale},
    {"--lossless", nullptr, "a capture whose decoded frames are the drawing exactly (H.264 in RGB, for editing)",
     apply_lossless},
    {"--layout", "NAME",
     "auto, wide, grid, compact or pixels: how the terminal shows the cells (auto: pictures where it can)",
     apply_layout},
    {"--graphics", "NAME", "kitty or sixel: the pictures of the pixel layout in that protocol, whatever the terminal says",
     apply_graphics},
    {"--console", "NAME",
     "Windows build: classic (the console window's cells), vt (sequences, as in Windows Terminal) or text "
     "(into a file); default: what the console is (also KERV16_CONSOLE)",
     apply_console},
    {"--fps", "N", "at most N frames a second in the terminal, or those of --capture (default 60; 0: unpaced)",
     apply_fps},
    {"--until", "MS", "stop the show at this demo time (milliseconds)", apply_until},
    {"--headless", nullptr, "draw into memory only: no output, no keyboard, no sound (the show runs to its end)",
     apply_headless},
    {"--live", "[DIR]", "take up edits of DIR/timeline.txt and its pages as they are saved (default content)",
     apply_live},
};

static void usage(FILE* out)
{
    fprintf(out, "usage: kerv16 [options] [picture.tga | drawing.gml]\n"
                 "  Plays the KERV16 show in the terminal; data/ is read from the working directory.\n"
                 "  With a picture it is shown until a key is pressed; a .gml drawing is replayed for 16 s.\n"
                 "keys: Escape quits, left/right arrow seek one second\n"
                 "  with --live also: Space pause, up/down a bar, Home the start, [ ] a loop, Backspace no\n"
                 "  loop, Tab a line of figures\n"
                 "options:\n");
    for (const OptionRow& row : OPTIONS) {
        char left[32];
        snprintf(left, sizeof left, "%s%s%s", row.name, row.value ? " " : "", row.value ? row.value : "");
        fprintf(out, "  %-15s %s\n", left, row.help);
    }
}

static const OptionRow* find_option(const char* name)
{
    for (const OptionRow& row : OPTIONS)
        if (strcmp(row.name, name) == 0)
            return &row;
    return nullptr;
}

// ---- public functions ----

void demo_default_options(DemoOptions* opts)
{
    *opts = DemoOptions{};
    opts->fps = 60;
}

int demo_parse_options(int argc, char** argv, DemoOptions* opts)
{
    demo_default_options(opts);
    for (int i = 1; i < argc; i++) {
        if (strncmp(argv[i], "--", 2) != 0) {
            if (!opts->viewer_file)  // of the other arguments, the first is used
                opts->viewer_file = argv[i];
            continue;
        }
        const OptionRow* row = find_option(argv[i]);
        if (!row) {
            fprintf(stderr, "kerv16: unknown option %s\n", argv[i]);
            usage(stderr);
            return 2;
        }
        const char* value = nullptr;
        if (row->value && row->value[0] == '[') {
            if (i + 1 < argc && strncmp(argv[i + 1], "--", 2) != 0)
                value = argv[++i];
        } else if (row->value) {
            if (i + 1 >= argc) {
                fprintf(stderr, "kerv16: %s needs a value (%s)\n", row->name, row->value);
                return 2;
            }
            value = argv[++i];
        }
        int done = row->apply(opts, value);
        if (done != OPTION_GO_ON)
            return done == OPTION_DONE ? 0 : 2;
    }
    // The live mode pauses at the end instead of ending: it needs someone at the keyboard.
    if (opts->live && opts->display && strcmp(opts->display, "window") != 0) {
        fprintf(stderr, "kerv16: --live plays as it is edited, in the terminal or the window, not with --%s\n",
                strcmp(opts->display, "null") == 0 ? "headless" : opts->display);
        return 2;
    }
    if (!opts->settings.video && (opts->settings.scale || opts->settings.lossless)) {
        fprintf(stderr, "kerv16: --scale and --lossless shape a capture; they need --capture FILE\n");
        return 2;
    }
    if (opts->settings.video && opts->fps == 0) {
        fprintf(stderr, "kerv16: a capture needs --fps from 1 to 240\n");
        return 2;
    }
    return DEMO_RUN;
}
