// main_web.cpp -- program entry of the web page: the show on the browser's frame callback, started by the page
//
// The page (index.html) loads this with the data package and calls in: web_start on the first click
// or key, web_again from the end screen. Until the first gesture the clock stands at 0 and the page
// shows the first frame as a still. Arguments from the page's address: "--at MS" draws the frame of
// demo time MS as the renderer does (every frame from 0 at its 20 ms step, no sound) and keeps it;
// "--bench" draws the whole show so, timing every frame.
#include "demo/demo.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "timeline/timeline.h"

#include <emscripten.h>

#include <cstdlib>
#include <cstring>

// ---- types ----

enum {
    STEP_MS = 20,                  // the renderer's step
    BENCH_SLICE_MS = 40,           // frames drawn per browser frame while benchmarking, in ms
    SHOW_LIMIT_MS = 30 * 60 * 1000,   // a timeline without an end stops here
    // Frames as often as the browser calls, except in the underwater scene, whose bubbles want frames
    // 20 ms apart (pacing.cpp): there the pacing's grid leaves out a call now and then.
    PACING_FPS = 1000,
};

static const char* SOUNDTRACK = "data/Dremovant - Embers-mastered.mp3";

// ---- state ----

static struct {
    int running;       // 1 while the show runs on the frame callback
    long frames;       // frames drawn since the first start
    double frame_ms;   // what they took to draw (page time, ms)
    int last_t;        // demo time of the last frame, ms
    int bench_t;       // the benchmark's next demo time
} web;

// ---- internal functions ----

EM_JS(void, page_event, (const char* name), {
    var handler = Module['on' + UTF8ToString(name)];
    if (handler)
        handler();
});

EM_JS(void, sound_start, (), {
    if (Module.kervSound)
        Module.kervSound.start();
});

static void draw(int t)
{
    double start = emscripten_get_now();
    demo_frame(t);
    web.frame_ms += emscripten_get_now() - start;
    web.frames++;
    web.last_t = t;
}

// One browser frame of the show: the frame of the clock's demo time when one is due, then the keys that came.
static void show_frame(void)
{
    uint32_t now = clock_ticks();
    if (pacing_wait_ms(now) == 0) {
        draw((int)(now - start_tick));
        pacing_frame_done(clock_ticks(), compose_info.scene);
    }
    while (!end_flag && display_key_waiting())
        demo_handle_key();
    if (end_flag) {
        emscripten_cancel_main_loop();
        web.running = 0;
        music_stop();
        page_event("ShowEnd");
    }
}

static void bench_frame(void)
{
    double start = emscripten_get_now();
    while (!end_flag && web.bench_t <= SHOW_LIMIT_MS && emscripten_get_now() - start < (double)BENCH_SLICE_MS) {
        clock_set((uint32_t)web.bench_t);
        draw(web.bench_t);
        display_table[0]->write_cells(display_null_cells());
        web.bench_t += STEP_MS;
    }
    if (end_flag || web.bench_t > SHOW_LIMIT_MS) {
        emscripten_cancel_main_loop();
        page_event("BenchDone");
    }
}

// The renderer's frames from 0 to the step at or before at_ms, on the null display; the last one
// then goes to the canvas.
static int draw_frozen(int at_ms)
{
    if (!demo_start_stepped())
        return 0;
    for (int t = 0; t <= at_ms - at_ms % STEP_MS && !end_flag; t += STEP_MS) {
        clock_set((uint32_t)t);
        demo_frame(t);
        web.last_t = t;
    }
    const DisplayDriver* canvas = display_table[0];
    if (!canvas->open(nullptr))
        return 0;
    canvas->write_cells(display_null_cells());
    return 1;
}

// ---- public functions ----

// The first click or key: sound and clock start, and the show with them.
extern "C" EMSCRIPTEN_KEEPALIVE void web_start(void)
{
    if (web.running)
        return;
    sound_start();
    web.running = 1;
    pacing_start(PACING_FPS, clock_ticks());
    emscripten_set_main_loop(show_frame, 0, 0);
}

// From the end screen: the show again from its start, with the music.
extern "C" EMSCRIPTEN_KEEPALIVE void web_again(void)
{
    if (web.running)
        return;
    end_flag = 0;
    display_clear_keys();
    start_tick = clock_ticks();
    music_start(SOUNDTRACK);
    web.running = 1;
    pacing_start(PACING_FPS, clock_ticks());
    emscripten_set_main_loop(show_frame, 0, 0);
}

// Figures for the page and its tests: 0 frames drawn, 1 ms they took, 2 the last frame's demo time,
// 3 the demo time of the clock now.
extern "C" EMSCRIPTEN_KEEPALIVE double web_stat(int which)
{
    switch (which) {
    case 0: return (double)web.frames;
    case 1: return web.frame_ms;
    case 2: return (double)web.last_t;
    default: return (double)(int)(clock_ticks() - start_tick);
    }
}

int main(int argc, char** argv)
{
    if (argc >= 3 && !strcmp(argv[1], "--at")) {
        long at = strtol(argv[2], nullptr, 10);  // the page passes digits only; the show ends long before the limit
        int ok = draw_frozen(at < 0 || at > SHOW_LIMIT_MS ? SHOW_LIMIT_MS : (int)at);
        page_event(ok ? "Frozen" : "Failed");
        return ok ? 0 : 1;
    }
    if (argc >= 2 && !strcmp(argv[1], "--bench")) {
        if (!demo_start_stepped() || !display_table[0]->open(nullptr)) {
            page_event("Failed");
            return 1;
        }
        emscripten_set_main_loop(bench_frame, 0, 0);
        return 0;
    }
    DemoOptions opts;
    demo_default_options(&opts);
    opts.display = "web";
    if (!demo_start(&opts)) {
        page_event("Failed");
        return 1;
    }
    draw(0);  // the still until the first gesture: the clock stands at 0
    page_event("Ready");
    return 0;
}
