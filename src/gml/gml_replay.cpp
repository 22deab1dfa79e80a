// gml_replay.cpp -- a GML drawing painted again in its recorded timing for 16 seconds
#include "gfx2d/gfx2d.h"
#include "gfx3d/gfx3d.h"
#include "gml/gml.h"
#include "platform/clock.h"

#include <climits>
#include <cmath>

// ---- state ----

int32_t gml_width_state;
static GmlGraph replay_graph;  // empty unless a load filled it

enum { REPLAY_MS = 16000 };

// ---- internal functions ----

// Truncated towards zero; a coordinate beyond the int range stands at its end, and one that is not a
// number at 0. Lines walk only what can reach the Screen, so far ends cost nothing and keep their slope.
static int to_pixel(float value)
{
    if (value != value)
        return 0;
    if (value >= 2147483648.0f)
        return INT_MAX;
    if (value <= -2147483648.0f)
        return INT_MIN;
    return (int)value;
}

static void draw_segment(const float* a, float time_a, const float* b, float time_b, float half)
{
    float d = fabsf(a[1] * 240 - b[1] * 240) + fabsf(a[0] * 240 - b[0] * 240);
    float g = fabsf(time_b - time_a);
    float v = d / g / 50;
    v = v != 0 ? 8 / v : 0;
    if (v != v)
        v = 0;  // no length in no time
    if (v > 8)
        v = 8;
    float h = (float)(gml_width_state * 0.5 + v * 0.5);
    gml_width_state = (int32_t)h;
    set_pen_width((int)(h * half));
    draw_line_bgr(to_pixel(a[0] * 240), to_pixel(a[1] * 150), to_pixel(b[0] * 240), to_pixel(b[1] * 150), 200, 200,
                  200);
}

// ---- public functions ----

void gml_replay_frame(const GmlGraph* graph, uint32_t t)
{
    float tf = (float)t;
    double p = maths_sin(tf * 0.002) + 1;
    float half = (float)(p * 0.5);
    screen_fill(0);
    set_pen_width((int)(float)(p * 4));
    for (int s = 0; s < graph->stroke_count && s < GML_STROKES; s++) {
        const GmlStroke* stroke = &graph->strokes[s];
        int count = stroke->point_count < GML_POINTS ? stroke->point_count : GML_POINTS;
        for (int j = 0; j + 1 < count; j++)
            if (tf >= stroke->times[j] * 500)
                draw_segment(stroke->points[j], stroke->times[j], stroke->points[j + 1], stroke->times[j + 1], half);
    }
}

void gml_replay(const char* name)
{
    gml_load(name, &replay_graph);
    uint32_t start = clock_ticks();
    screen_fill_rgb(0, 0, 0);
    while (clock_ticks() - start < REPLAY_MS) {
        gml_replay_frame(&replay_graph, clock_ticks() - start);
        screen_present();
    }
}
