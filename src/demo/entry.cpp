// entry.cpp -- program entry: start-up order, viewer modes, one frame, the main loop, shut-down order
#include "demo/demo.h"
#include "assets/assets.h"
#include "console/console.h"
#include "gml/gml.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/system.h"
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

enum {
    VIEWER_UNATTENDED_MS = 2000,  // how long a picture stays when no key can end it
    VIEWER_FRAME_MS = 16,         // a still is drawn again this often (a resize redraws it)
};

static struct {
    int unattended;     // 1 when no keyboard can end the viewer (memory, a video)
    uint32_t opened_ms; // clock when the display opened, for --stats
    long frames;        // frames drawn by demo_frame since the start
    int quit_signal;    // the signal whose quit event was read, 0 if none
} run;

// ---- internal functions ----

// Frames, rate and bytes per frame, on standard error so piped frames stay clean, then what the
// display says of how it showed them, and how the frames were paced. A display that keeps no count of
// its own writes no bytes of its own: it reports the main loop's frames.
static void print_stats(uint32_t opened_ms, uint32_t closed_ms, long loop_frames)
{
    DisplayStats st;
    if (!display_stats(&st))
        st.frames = loop_frames;
    double seconds = (double)(uint32_t)(closed_ms - opened_ms) / 1000.0;
    fprintf(stderr, "kerv16: %ld frames in %.1f s, %.1f frames/s; bytes per frame: mean %.0f, largest %ld\n",
            st.frames, seconds, seconds > 0 ? (double)st.frames / seconds : 0.0,
            st.frames ? (double)st.bytes / (double)st.frames : 0.0, st.largest);
    if (st.detail[0])
        fprintf(stderr, "kerv16: %s\n", st.detail);
    if (demo_pacing.fps > 0)
        fprintf(stderr, "kerv16: paced at most %d frames a second: %ld of %ld frames with time to spare, %ld slots skipped\n",
                demo_pacing.fps, demo_pacing.paced, demo_pacing.frames, demo_pacing.skipped);
    else
        fprintf(stderr, "kerv16: unpaced\n");
}

// The file opens under its own name; only the mode comes from the upper-cased ending.
static void run_viewer(const char* arg)
{
    if (demo_viewer_is_gml(arg))
        gml_replay(arg);
    else
        show_picture(arg);
}

// ---- public functions ----

// The last four characters, each upper-cased on its own (a-z only), against ".GML" byte for byte.
int demo_viewer_is_gml(const char* arg)
{
    size_t n = arg ? strlen(arg) : 0;
    if (n < 4)
        return 0;
    char tail[5];
    for (int i = 0; i < 4; i++) {
        char c = arg[n - 4 + i];
        tail[i] = c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
    }
    tail[4] = 0;
    return strcmp(tail, ".GML") == 0;
}

// Reads one key and acts on it; every key read writes end_flag. A quit event reads as Escape. The
// live mode's transport keys go to it; the ordinary show drops them.
void demo_handle_key(void)
{
    int k = display_read_key();
    if (k >= KEY_QUIT) {
        run.quit_signal = k - KEY_QUIT;
        k = KEY_ESCAPE;
    }
    end_flag = k == KEY_ESCAPE;
    if (k != KEY_PREFIX) {
        if (live_active())
            live_handle_key(k, -1);
        return;
    }
    if (!display_key_waiting())
        return;
    int k2 = display_read_key();
    if (live_active() && live_handle_key(k, k2))
        return;
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
    // The key that ends the viewer stays waiting: the main loop reads it first. Without a keyboard
    // (headless, capture, input from nowhere) nobody can press one, so the picture stays for a while
    // of the clock instead.
    uint32_t shown_ms = clock_ticks();
    while (!display_key_waiting()) {
        screen_present();
        if (clock_ticks() - shown_ms >= VIEWER_UNATTENDED_MS && (run.unattended || !display_keyboard()))
            break;
        if (!run.unattended)
            display_idle(VIEWER_FRAME_MS);   // a still needs no more frames than the show has
    }
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
            if ((end_row < 0 || row < end_row) && (int)sync_get_value(tracks[0], row) == SCENE_END &&
                (int)sync_get_value(tracks[1], row) == PART_END)
                end_row = row;
        }
    return end_row < 0 ? 0 : (int)(end_row / 0.004);
}

int demo_quit_signal(void) { return run.quit_signal; }

int demo_start(const DemoOptions* opts)
{
    run.frames = 0;
    run.quit_signal = 0;
    end_flag = 0;
    DisplaySettings settings = opts->settings;
    settings.fps = opts->fps;
    settings.soundtrack = SOUNDTRACK;
    if (settings.video) {
        // A video's progress is told against the show's length, or --until where that comes first.
        int length = show_length_ms();
        int until = opts->until_ms;
        settings.length_ms = until > 0 && (until < length || !length) ? until : length;
    }
    if (!display_select(opts->display, &settings)) {
        msg_print(stderr, "kerv16: the %s display is not available in this build\n", opts->display);
        return 0;
    }
    // Frames nobody watches as they come (memory, a video) have nobody to listen or press a key either:
    // the null sound device then, and a picture stays for a while of the clock. Null asks for the
    // platform's own sound output.
    run.unattended = !display_current()->live;
    music_use_audio(run.unattended ? &audio_null_driver : nullptr);
    screen_create();
    if (!display_open(TITLE)) {
        display_close();
        msg_flush();
        return 0;
    }
    run.opened_ms = clock_ticks();
    console_setup(DISPLAY_COLS, DISPLAY_ROWS, 1);
    console_output_handle();
    if (!sync_setup() || !load_cell_tables()) {
        display_close();
        msg_flush();
        return 0;
    }
    if (opts->viewer_file)
        run_viewer(opts->viewer_file);
    emitters_init();
    load_assets();
    setup_letter_materials();
    if (!opts->silent)
        music_start(SOUNDTRACK);
    start_tick = clock_ticks();
    return 1;
}

int demo_start_stepped(void)
{
    clock_use_manual(1);
    clock_set(0);
    DemoOptions opts;
    demo_default_options(&opts);
    opts.display = "null";
    opts.silent = 1;
    return demo_start(&opts);
}

void demo_frame(int t)
{
    fx_set_time(t);
    compose_frame(t);
    run.frames++;
}

int demo_stop(void)
{
    run.unattended = 0;
    emitters_free();
    free_assets();
    music_stop();
    int written = display_close();
    msg_flush();
    return written;
}

int demo_main(int argc, char** argv)
{
    DemoOptions opts;
    int status = demo_parse_options(argc, argv, &opts);
    if (status != DEMO_RUN)
        return status;
    static char exe_dir[4096];
    const char* found_exe = sys_executable_dir(exe_dir, sizeof exe_dir) ? exe_dir : nullptr;
    const char* live_shown = opts.live;  // the content folder as the user knows it, for messages
    if (!demo_find_data(found_exe, &opts))
        return 1;
    if (!demo_start(&opts))
        return 1;
    if (opts.live)
        live_start(opts.live, live_shown, found_exe);
    // Frames nobody watches as they come are not paced: memory and a video take them as fast as they go.
    pacing_start(display_current()->live ? opts.fps : 0, clock_ticks());
    while (!end_flag) {
        int wait = pacing_wait_ms(clock_ticks());
        if (wait > 0) {
            display_idle(wait);   // a key wakes it and is acted on at once, held keys too
            while (!end_flag && display_key_waiting())
                demo_handle_key();
            continue;
        }
        uint32_t now = clock_ticks();
        int t = live_active() ? live_frame_time(now) : (int)(now - start_tick);
        if (opts.until_ms > 0 && t >= opts.until_ms)
            break;
        demo_frame(t);
        if (live_active()) {
            live_frame_drawn(clock_ticks());
            if (end_flag)
                live_hold_end();
        }
        pacing_frame_done(clock_ticks(), compose_info.scene);
        if (display_key_waiting())
            demo_handle_key();
    }
    live_stop();
    if (!demo_stop())
        return 1;
    if (opts.stats)
        print_stats(run.opened_ms, clock_ticks(), run.frames);
    if (opts.stats && opts.live)
        live_print_stats();
    // Ended by SIGINT, SIGTERM or SIGHUP: now that the terminal is back, let the signal tell.
    int sig = run.quit_signal;
    if (sig) {
        signal(sig, SIG_DFL);
        raise(sig);
    }
    return 0;
}
