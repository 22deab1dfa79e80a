// pacing.cpp -- frames at most N a second: the schedule the main loop sleeps by
//
// Frames are due on a grid of 1000 / N ms (the remainder carried, so 60 a second are 16, 17, 17 ms
// apart). A frame finished after its successor was due does not make the loop hurry: the grid starts
// again from that moment and the missed slots count as skipped. The underwater scene releases its
// particles from what frames exceed 16 ms, so while it shows frames are at least 20 ms apart
// (the rate its bubbles were made for), whatever N is.
#include "demo/demo.h"

// ---- state ----

DemoPacing demo_pacing;

// ---- public functions ----

void pacing_start(int fps, uint32_t now)
{
    demo_pacing = DemoPacing{};
    demo_pacing.fps = fps > 0 ? fps : 0;
    demo_pacing.due_ms = now;
}

int pacing_wait_ms(uint32_t now)
{
    if (demo_pacing.fps == 0)
        return 0;
    int wait = (int)(demo_pacing.due_ms - now);
    return wait > 0 ? wait : 0;
}

void pacing_frame_done(uint32_t now, int scene)
{
    DemoPacing* p = &demo_pacing;
    if (p->fps == 0)
        return;
    p->frames++;
    int step;
    if (scene == PACING_SLOW_SCENE && p->fps * PACING_SLOW_MS > 1000) {
        step = PACING_SLOW_MS;
        p->carry = 0;
    } else {
        p->carry += 1000;
        step = p->carry / p->fps;
        p->carry -= step * p->fps;
    }
    p->due_ms += (uint32_t)step;
    int late = (int)(now - p->due_ms);
    if (late >= step) {
        // Behind by a whole frame or more: skip what cannot be shown and start the grid again now.
        p->skipped += late / step;
        p->due_ms = now;
        p->carry = 0;
    } else if (late < 0) {
        p->paced++;
    }
}
