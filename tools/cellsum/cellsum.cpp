// cellsum.cpp -- kerv16-cellsum: a checksum of every frame's cells along the show, to compare builds frame for frame
//
// Run from a folder holding data/. The show starts as the renderer starts it (null display, no sound,
// stepped clock) and draws t = 0, STEP, 2 x STEP ... up to its end or --until; each frame prints one
// line "t checksum" (FNV-1a, 64 bits, over the 4000 character and attribute bytes). Two builds whose
// lines are equal drew the same cells at every step: the web build runs the same file under Node.
#include "demo/demo.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "scenes/scenes.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

enum { DEFAULT_STEP_MS = 20, SHOW_LIMIT_MS = 30 * 60 * 1000 };

static uint64_t checksum(const DisplayCell* cells)
{
    uint64_t h = 0xcbf29ce484222325ull;
    for (int i = 0; i < DISPLAY_CELLS; i++) {
        h = (h ^ cells[i].ch) * 0x100000001b3ull;
        h = (h ^ cells[i].attr) * 0x100000001b3ull;
    }
    return h;
}

int main(int argc, char** argv)
{
    long step = DEFAULT_STEP_MS, until = SHOW_LIMIT_MS;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--step"))
            step = atol(argv[i + 1]);
        else if (!strcmp(argv[i], "--until"))
            until = atol(argv[i + 1]);
        else
            break;
    }
    if (step <= 0 || until < 0 || argc % 2 == 0) {
        fprintf(stderr, "usage: kerv16-cellsum [--step MS] [--until MS]   (run from a folder holding data/)\n");
        return 2;
    }
    if (!demo_start_stepped())
        return 1;
    double drawing_ms = 0;
    long frames = 0;
    for (long t = 0; t <= until && !end_flag; t += step) {
        clock_set((uint32_t)t);
        auto start = std::chrono::steady_clock::now();
        demo_frame((int)t);
        drawing_ms += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        frames++;
        printf("%ld %016" PRIx64 "\n", t, checksum(display_null_cells()));
    }
    demo_stop();
    if (frames)
        fprintf(stderr, "kerv16-cellsum: %ld frames, %.3f ms a frame to draw (wall clock)\n", frames,
                drawing_ms / (double)frames);
    return 0;
}
