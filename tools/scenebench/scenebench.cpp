// scenebench.cpp -- processor time per frame: the rain, flash and blob scenes (the blob scene against its
// straightforward reference), the end sequence, and with --show every scene of the show along its tracks
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>

#include "assets/assets.h"
#include "console/console.h"
#include "demo/demo.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "scenes/scenes.h"

// Processor time of this process: on a machine shared with other work it varies far less than wall time.
static double now_ms()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

// Mean ms per frame of `frames` frames 40 ms of demo time apart, after a few unmeasured ones.
template <class F> static double per_frame(int frames, F draw)
{
    for (int k = 0; k < 3; k++)
        draw(100000 + k * 40);
    double t0 = now_ms();
    for (int k = 0; k < frames; k++)
        draw(100120 + k * 40);
    return (now_ms() - t0) / frames;
}

static int scenes(int frames)
{
    screen_create();
    load_assets();  // from the working directory's data/ when it is there
    static uint32_t probe[256 * 128];
    if (!blob_probe.pixels) {  // a stand-in probe so the shading does its full work
        for (int i = 0; i < 256 * 128; i++)
            probe[i] = (uint32_t)i * 2654435761u;
        blob_probe = Image{probe, 128, 256, 8};
    }
    double blobs = per_frame(frames, [](int t) { scene_blobs(t, t / 10000 % 4); });
    double oracle = per_frame(frames < 20 ? frames : 20, [](int t) { scene_blobs_oracle(t, t / 10000 % 4); });
    double rain = per_frame(frames, [](int t) { scene_rain(t); });
    // A frame after a 999 ms pause: 30 steps of the field at once.
    double rain_worst = per_frame(frames, [](int t) { scene_rain(t * 25); });
    double flash = per_frame(frames, [](int) { scene_flash(); });
    double end_lo = per_frame(frames, [](int t) { fx_set_time(t); end_sequence(0.25f); });
    double end_hi = per_frame(frames, [](int t) { fx_set_time(t); end_sequence(1.0f); });
    double warp = per_frame(frames, [](int t) { fx_set_time(t); fx_warp(screen, 0.05f, 0.07f, 3.0f, 2.0f, 0.002f); });
    printf("processor ms per frame (%d frames)\n", frames);
    printf("  blobs            %8.3f\n", blobs);
    printf("  blobs oracle     %8.3f   (%.1f x the blob scene)\n", oracle, oracle / blobs);
    printf("  rain             %8.3f\n", rain);
    printf("  rain, 30 steps   %8.3f\n", rain_worst);
    printf("  flash            %8.3f\n", flash);
    printf("  end v=0.25       %8.3f   (without the water scene under it)\n", end_lo);
    printf("  end v=1.0        %8.3f\n", end_hi);
    printf("  warp             %8.3f\n", warp);
    return 0;
}

// The whole show at a fixed step, as the main loop would draw it, on the null display and without music.
// Composition is the frame less its cell conversion; the blob scene is also drawn the slow way once per
// blob frame, on a copy of the Screen, for the ratio within the same run.
static int show(int step)
{
    if (!demo_start_stepped())
        return 1;
    struct Sum {
        long frames;
        double ms;
    };
    std::map<int, Sum> per_scene;
    static DisplayCell cells[DISPLAY_CELLS];
    static uint32_t saved[SCREEN_PIXELS];
    static uint32_t last_screen[SCREEN_PIXELS];  // the previous frame's Screen
    double blob_ms = 0, oracle_ms = 0, convert_ms = 0;
    long blob_frames = 0;
    for (int t = 0; t <= 600000 && !end_flag; t += step) {
        clock_set((uint32_t)t);
        double t0 = now_ms();
        demo_frame(t);
        double frame = now_ms() - t0;
        // Conversion remembers each position's last block: the previous frame first, untimed, so
        // that the timed pass finds what the frame's own pass found.
        convert_screen(last_screen, cells);
        t0 = now_ms();
        convert_screen(screen_pixels(), cells);
        double convert = now_ms() - t0;
        frame -= convert;
        convert_ms += convert;
        memcpy(last_screen, screen_pixels(), sizeof last_screen);
        Sum& s = per_scene[compose_info.scene];
        s.frames++, s.ms += frame;
        if (compose_info.scene == SCENE_BLOBS) {
            memcpy(saved, screen, sizeof saved);
            t0 = now_ms();
            scene_blobs(t, compose_info.part);
            blob_ms += now_ms() - t0;
            t0 = now_ms();
            scene_blobs_oracle(t, compose_info.part);
            oracle_ms += now_ms() - t0;
            memcpy(screen, saved, sizeof saved);
            blob_frames++;
        }
    }
    printf("the show at a %d ms step: processor ms per frame of composition (without cell conversion)\n", step);
    Sum all = {0, 0};
    for (auto& [scene, s] : per_scene) {
        printf("  scene %2d  %6ld frames  %8.3f\n", scene, s.frames, s.ms / (double)s.frames);
        all.frames += s.frames, all.ms += s.ms;
    }
    if (all.frames)
        printf("  all       %6ld frames  %8.3f   (cell conversion %.3f more)\n", all.frames, all.ms / (double)all.frames,
               convert_ms / (double)all.frames);
    if (blob_frames)
        printf("blob scene alone %.3f, straightforward %.3f: %.1f x (%ld frames)\n", blob_ms / blob_frames,
               oracle_ms / blob_frames, oracle_ms / blob_ms, blob_frames);
    demo_stop();
    return 0;
}

int main(int argc, char** argv)
{
    if (argc > 1 && !strcmp(argv[1], "--show"))
        return show(argc > 2 && atoi(argv[2]) > 0 ? atoi(argv[2]) : 20);
    if (argc > 1 && (argv[1][0] < '0' || argv[1][0] > '9')) {
        fprintf(stderr, "usage: kerv16-scenebench [FRAMES] | --show [STEP_MS]   (run from the folder holding data/)\n");
        return 2;
    }
    int frames = argc > 1 ? atoi(argv[1]) : 100;
    return scenes(frames < 1 ? 1 : frames);
}
