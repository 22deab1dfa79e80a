// ripple.cpp -- integer wave fields (step, catch-up with demo time), the rain scene and the flash scene
#include "scenes/scenes.h"
#include "assets/random.h"

#include <cstdint>

// ---- state ----

enum {
    RAIN_W = SCREEN_W,       // one cell per Screen pixel
    RAIN_H = SCREEN_H,
    RAIN_CELLS = RAIN_W * RAIN_H,
    RAIN_STEP_MS = 33,
    RAIN_DAMPING_SHIFT = 5,  // 1/32
    RAIN_DROP = 2048,        // height of a fresh drop
    RIPPLE_CATCH_UP_MS = 1000,
};

// Cell (x, y) of the rain field is element x * RAIN_H + y: stored column by column.
static int32_t rain_cells[2][RAIN_CELLS];
RippleField rain_field = {RAIN_W, RAIN_H, rain_cells[0], rain_cells[1], RAIN_DAMPING_SHIFT, RAIN_STEP_MS, 0};

static uint32_t grey_ramp[64];  // entry k: grey 4k in the three colour bytes
static int rain_ready;

// ---- internal functions ----

// One cell's new value from its four neighbours in `newer` and its own value in `older`. Sums and
// differences wrap in 32 bits, so a pool driven far beyond any ripple's height stays defined and exact;
// the divisions truncate toward zero.
static inline int32_t wave(int32_t a, int32_t b, int32_t c, int32_t d, int32_t old, int shift)
{
    int32_t sum = (int32_t)((uint32_t)a + (uint32_t)b + (uint32_t)c + (uint32_t)d);
    int32_t v = (int32_t)((uint32_t)(sum / 2) - (uint32_t)old);
    return (int32_t)((uint32_t)v - (uint32_t)(v / (1 << shift)));
}

static void rain_drop(RippleField* field)
{
    int r = demo_rand();
    if ((r & 0x78) == 0x78) {  // bits 3 to 6 all set: one chance in 16
        int x = demo_rand() % RAIN_W;
        int y = demo_rand() % RAIN_H;
        field->older[x * RAIN_H + y] = RAIN_DROP;
    }
}

// ---- public functions ----

// The field is `width` lines of `height` cells: cell (i, j) is element i * height + j. A missing
// neighbour at a border is replaced by the one on the opposite side of the same axis.
void ripple_step(RippleField* field)
{
    int w = field->width, h = field->height, shift = field->damping_shift;
    if (w < 2 || h < 2 || !field->older || !field->newer || shift < 0 || shift > 30)
        return;
    const int32_t* n = field->newer;
    int32_t* o = field->older;
    for (int i = 0; i < w; i++) {
        const int32_t* line = n + i * h;
        const int32_t* prev = i > 0 ? line - h : line + h;
        const int32_t* next = i < w - 1 ? line + h : line - h;
        int32_t* out = o + i * h;
        out[0] = wave(prev[0], next[0], line[1], line[1], out[0], shift);
        for (int j = 1; j < h - 1; j++)
            out[j] = wave(prev[j], next[j], line[j - 1], line[j + 1], out[j], shift);
        out[h - 1] = wave(prev[h - 1], next[h - 1], line[h - 2], line[h - 2], out[h - 1], shift);
    }
    field->older = field->newer;
    field->newer = o;
}

void ripple_advance(RippleField* field, int now, void (*hook)(RippleField* field))
{
    // After a seek or a long pause the field restarts its clock instead of catching up.
    int64_t gap = (int64_t)now - field->last_step;
    if (gap > RIPPLE_CATCH_UP_MS || gap < -RIPPLE_CATCH_UP_MS)
        field->last_step = now;
    if (field->step_ms <= 0)
        return;
    while ((int64_t)field->last_step + field->step_ms < now) {
        field->last_step += field->step_ms;
        if (hook)
            hook(field);
        ripple_step(field);
    }
}

void scene_rain(int now)
{
    if (!rain_ready) {
        for (int k = 0; k < 64; k++)
            grey_ramp[k] = (uint32_t)(4 * k) * 0x010101u;
        rain_field.older[0] = 0;
        rain_field.newer[0] = 0;
        rain_ready = 1;
    }
    ripple_advance(&rain_field, now, rain_drop);
    // Rest level 0 shows as grey 128; every pixel is written, so the scene needs no clear.
    const int32_t* cells = rain_field.newer;
    uint32_t* out = screen;
    for (int y = 0; y < RAIN_H; y++)
        for (int x = 0; x < RAIN_W; x++) {
            int32_t k = cells[x * RAIN_H + y] + 32;
            k = k < 0 ? 0 : k > 63 ? 63 : k;
            out[y * SCREEN_W + x] = grey_ramp[k];
        }
}

void scene_flash(void)
{
    // Byte 0 gets the low 8 bits of the draw, byte 1 its upper 7 bits.
    screen_fill((uint32_t)demo_rand());
}
