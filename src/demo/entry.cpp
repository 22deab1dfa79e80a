// entry.cpp -- program entry: options, start-up order, viewer modes, the main loop, shut-down order
#include "demo/demo.h"
#include "console/console.h"
#include "gml/gml.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/window.h"
#include "platform/terminal.h"
#include "scenes/scenes.h"
#include "timeline/timeline.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---- state ----

int end_flag;
uint32_t start_tick;

static const char* TITLE = "KERV16 - alt+enter=fullscreen";
static const char* SOUNDTRACK = "data/Dremovant - Embers-mastered.mp3";

// ---- internal functions ----

static void usage(FILE* out)
{
    fprintf(out,
            "usage: kerv16 [options] [picture.tga | drawing.gml]\n"
            "  Plays the KERV16 show in the terminal; data/ is read from the working directory.\n"
            "  With a picture it is shown until a key is pressed; a .gml drawing is replayed for 16 s.\n"
            "keys: Escape quits, left/right arrow seek one second\n"
            "options:\n"
            "  --help       this text\n"
            "  --version    the version\n"
            "  --stats      at exit, print frames drawn, frames per second and bytes written per frame\n"
            "  --window     show the cells in a window with the VGA font (Alt+Enter: full screen)\n"
            "  --capture FILE  render the whole show into a video (with ffmpeg), as fast as it goes\n"
            "  --fps N      frames per second of --capture (default 60)\n"
            "  --until MS   stop the show at this demo time (milliseconds)\n"
            "  --headless   draw into memory only: no output, no keyboard (the show runs to its end)\n");
}

// Frames, rate and bytes per frame, on standard error so piped frames stay clean.
// Other displays than the terminal write no bytes of their own: they report the main loop's frames.
static void print_stats(uint32_t opened_ms, uint32_t closed_ms, long loop_frames)
{
    TerminalStats st = {};
    if (display_current() == &display_terminal_driver)
        terminal_get_stats(&st);
    else
        st.frames = loop_frames;
    double seconds = (double)(uint32_t)(closed_ms - opened_ms) / 1000.0;
    fprintf(stderr, "kerv16: %ld frames in %.1f s, %.1f frames/s; bytes per frame: mean %.0f, largest %ld\n",
            st.frames, seconds, seconds > 0 ? (double)st.frames / seconds : 0.0,
            st.frames ? (double)st.bytes / (double)st.frames : 0.0, st.largest);
}

// The mode comes from the upper-cased last four characters; the file opens under its own name.
static void run_viewer(const char* arg)
{
    size_t n = strlen(arg);
    char tail[5] = "";
    if (n >= 4) {
        for (int i = 0; i < 4; i++) {
            char c = arg[n - 4 + i];
            tail[i] = c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
        }
        tail[4] = 0;
    }
    if (strcmp(tail, ".GML") == 0)
        gml_replay(arg);
    else
        show_picture(arg);
}

// ---- public functions ----

// Reads one key and acts on it; every key read writes end_flag.
void demo_handle_key(void)
{
    int k = display_read_key();
    end_flag = k == KEY_ESCAPE;
    if (k != KEY_PREFIX || !display_key_waiting())
        return;
    int k2 = display_read_key();
    if (k2 == KEY_LEFT) {
        music_seek_back();
        start_tick += 1000;
    } else if (k2 == KEY_RIGHT) {
        music_seek_forward();
        start_tick -= 1000;
    }
}

void show_picture(const char* name)
{
    Image picture = {};
    image_load(name, &picture);
    image_blit_alpha(&picture, 0, 0);
    // The key that ends the viewer stays waiting: the main loop reads it first.
    while (!display_key_waiting())
        screen_present();
    image_free(&picture);
}

// The demo time at which the tracks first say scene -1 with part -1 (the end), for progress reports; 0 if never.
static int show_length_ms(void)
{
    SyncDevice* device = sync_create("data/sync");
    if (!device)
        return 0;
    const SyncTrack* tracks[2] = {sync_get_track(device, "scene"), sync_get_track(device, "part")};
    int end_row = -1;
    for (const SyncTrack* track : tracks)
        for (int k = 0; track && k < track->key_count; k++) {
            int row = track->keys[k].row;
            if ((end_row < 0 || row < end_row) && (int)sync_get_value(tracks[0], row) == -1 &&
                (int)sync_get_value(tracks[1], row) == -1)
                end_row = row;
        }
    return end_row < 0 ? 0 : (int)(end_row / 0.004);
}

int demo_main(int argc, char** argv)
{
    const char* viewer_file = nullptr;
    const char* capture_file = nullptr;
    int stats = 0, headless = 0, window = 0, fps = 60, until_ms = 0;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--help") == 0) {
            usage(stdout);
            return 0;
        } else if (strcmp(argv[i], "--version") == 0) {
            printf("kerv16 %s\n", KERV_VERSION);
            return 0;
        } else if (strcmp(argv[i], "--stats") == 0) {
            stats = 1;
        } else if (strcmp(argv[i], "--headless") == 0) {
            headless = 1;
        } else if (strcmp(argv[i], "--window") == 0) {
            window = 1;
        } else if (strcmp(argv[i], "--capture") == 0 && i + 1 < argc) {
            capture_file = argv[++i];
        } else if (strcmp(argv[i], "--until") == 0 && i + 1 < argc) {
            until_ms = atoi(argv[++i]);
        } else if (strcmp(argv[i], "--fps") == 0 && i + 1 < argc) {
            fps = atoi(argv[++i]);
            if (fps < 1 || fps > 240) {
                fprintf(stderr, "kerv16: --fps takes a whole number from 1 to 240\n");
                return 2;
            }
        } else if (strncmp(argv[i], "--", 2) == 0) {
            fprintf(stderr, "kerv16: unknown option %s\n", argv[i]);
            usage(stderr);
            return 2;
        } else if (!viewer_file) {
            viewer_file = argv[i];
        }
    }

    // The terminal display also serves a pipe or file: the frames are written, nothing is switched.
    if (capture_file) {
        int length = show_length_ms();
        capture_setup(capture_file, fps, SOUNDTRACK, until_ms > 0 && (until_ms < length || !length) ? until_ms : length);
        display_use(&display_capture_driver);
    } else {
        display_use(headless ? &display_null_driver : window ? &display_window_driver : &display_terminal_driver);
    }
    screen_create();
    if (!display_open(TITLE)) {
        display_close();
        msg_flush();
        return 1;
    }
    uint32_t opened_ms = clock_ticks();
    console_setup(DISPLAY_COLS, DISPLAY_ROWS, 1);
    console_output_handle();
    if (!sync_setup() || !load_cell_tables()) {
        display_close();
        msg_flush();
        return 1;
    }
    if (viewer_file)
        run_viewer(viewer_file);
    emitters_init();
    load_assets();
    setup_letter_materials();
    if (!capture_file)  // a capture muxes the soundtrack file itself
        music_start(SOUNDTRACK);
    start_tick = clock_ticks();

    long loop_frames = 0;
    while (!end_flag) {
        int t = (int)(clock_ticks() - start_tick);
        if (until_ms > 0 && t >= until_ms)
            break;
        fx_set_time(t);
        compose_frame(t);
        loop_frames++;
        if (display_key_waiting())
            demo_handle_key();
    }

    emitters_free();
    free_assets();
    music_stop();
    int captured = capture_file ? capture_finish() : 1;
    display_close();
    msg_flush();
    if (!captured)
        return 1;
    if (stats)
        print_stats(opened_ms, clock_ticks(), loop_frames);
    // Ended by SIGINT, SIGTERM or SIGHUP: now that the terminal is back, let the signal tell.
    int sig = display_current() == &display_terminal_driver ? terminal_quit_signal() : 0;
    if (sig) {
        signal(sig, SIG_DFL);
        raise(sig);
    }
    return 0;
}
