// scenebench.cpp -- times the rain, flash, blob scenes (and the blob oracle) and the end sequence per frame
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "demo/demo.h"
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

int main(int argc, char** argv)
{
    int frames = argc > 1 ? atoi(argv[1]) : 100;
    if (frames < 1)
        frames = 1;
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
