// postfx.cpp -- full-Screen post effects (noise, fade, blur, row shift, warp) and the end sequence
#include "scenes/scenes.h"
#include "assets/assets.h"
#include "assets/random.h"

#include <cmath>
#include <cstring>

// ---- types ----

struct Rect {
    int x0, y0, x1, y1;  // x0, y0 inclusive; x1, y1 exclusive; clamped to the Screen
};

// Four floats or ints in one vector register (GCC and Clang vector extensions; plain code where there
// are no such registers).
typedef float Floats4 __attribute__((vector_size(16)));
typedef int32_t Ints4 __attribute__((vector_size(16)));

// ---- state ----

int fx_time;  // ms, demo time; set by the main loop and by the underwater scene

static uint32_t shift_scratch[SCREEN_PIXELS];  // fx_row_shift builds the new Screen here
static uint32_t warp_scratch[SCREEN_PIXELS];   // fx_warp likewise
static int32_t blur_line[SCREEN_W > SCREEN_H ? SCREEN_W : SCREEN_H][3];  // one row or column of sums

// Division by a window's sample count n (1..511) as a multiply: (s * blur_recip[n]) >> 32 equals s / n
// for every sum s below 2^17 (at most 511 x 255), since the rounding up adds less than 2^-15 < 1/n.
enum { BLUR_MAX_COUNT = 2 * 255 + 1 };
static uint64_t blur_recip[BLUR_MAX_COUNT + 1];

// ---- internal functions ----

// Returns 0 for an empty rectangle.
static int clamp_rect(Rect* r, int16_t x0, int16_t y0, int16_t x1, int16_t y1)
{
    r->x0 = x0 < 0 ? 0 : x0;
    r->y0 = y0 < 0 ? 0 : y0;
    r->x1 = x1 > SCREEN_W ? (int)SCREEN_W : x1;
    r->y1 = y1 > SCREEN_H ? (int)SCREEN_H : y1;
    return r->x0 < r->x1 && r->y0 < r->y1;
}

static inline int clamp_byte(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// Truncation toward zero that stays defined for values far outside int (and NaN, taken as 0).
static int64_t trunc_safe(float v)
{
    if (!(v == v))
        return 0;
    if (v >= 9.2e18f)
        return INT64_MAX;
    if (v <= -9.2e18f)
        return INT64_MIN;
    return (int64_t)v;
}

static int trunc_int(float v)
{
    int64_t t = trunc_safe(v);
    return t > INT32_MAX ? INT32_MAX : t < INT32_MIN ? INT32_MIN : (int)t;
}

// rand() % odds == 0; odds of 0 never hit (the draw is still made, so the sequence does not depend on it).
static int odds_hit(int odds)
{
    int r = demo_rand();
    return odds != 0 && r % odds == 0;
}

// Averages `count` pixels `stride` apart in place over the three colour bytes, with a window of
// `radius` on each side that shrinks at the ends. Reads only the values from before the call.
static void blur_run(uint32_t* p, int count, int stride, int radius)
{
    uint64_t s0 = 0, s1 = 0, s2 = 0;
    int hi = -1;  // last sample in the window
    int lo = 0;   // first sample in the window
    for (int k = 0; k < count; k++) {
        int want_hi = k + radius < count - 1 ? k + radius : count - 1;
        while (hi < want_hi) {
            hi++;
            uint32_t c = p[hi * stride];
            s0 += c & 255, s1 += c >> 8 & 255, s2 += c >> 16 & 255;
        }
        int want_lo = k - radius > 0 ? k - radius : 0;
        while (lo < want_lo) {
            uint32_t c = p[lo * stride];
            s0 -= c & 255, s1 -= c >> 8 & 255, s2 -= c >> 16 & 255;
            lo++;
        }
        uint64_t m = blur_recip[hi - lo + 1];
        blur_line[k][0] = (int32_t)(s0 * m >> 32), blur_line[k][1] = (int32_t)(s1 * m >> 32);
        blur_line[k][2] = (int32_t)(s2 * m >> 32);
    }
    for (int k = 0; k < count; k++) {
        uint32_t* c = &p[k * stride];
        *c = (*c & 0xFF000000u) | (uint32_t)blur_line[k][2] << 16 | (uint32_t)blur_line[k][1] << 8 |
             (uint32_t)blur_line[k][0];
    }
}

// ---- public functions ----

void fx_set_time(int t) { fx_time = t; }

void fx_noise(uint32_t* pixels, int16_t x0, int16_t y0, int16_t x1, int16_t y1, uint8_t amount)
{
    Rect r;
    if (!amount || !clamp_rect(&r, x0, y0, x1, y1))
        return;
    // A byte plus a grain lies in -127..382: one look-up clamps it.
    static uint8_t clamped[512];
    if (!clamped[511])
        for (int i = 0; i < 512; i++)
            clamped[i] = (uint8_t)clamp_byte(i - 128);
    const uint8_t* add = clamped + 128;
    // r % amount as a multiply: exact for r below 2^15, since the rounding up adds less than 2^-17 < 1/amount.
    uint64_t recip = ((uint64_t)1 << 32) / amount + 1;
    int half = amount / 2;
    // The shared sequence stepped here as demo_rand steps it, one draw per pixel in order.
    uint32_t state = rand_state;
    for (int y = r.y0; y < r.y1; y++)
        for (int x = r.x0; x < r.x1; x++) {
            state = state * 214013u + 2531011u;
            uint32_t draw = state >> 16 & 0x7FFF;
            int d = (int)(draw - (uint32_t)((draw * recip) >> 32) * amount) - half;  // the same for all three bytes
            uint32_t c = pixels[y * SCREEN_W + x];
            pixels[y * SCREEN_W + x] = (c & 0xFF000000u) | (uint32_t)add[(int)(c >> 16 & 255) + d] << 16 |
                                       (uint32_t)add[(int)(c >> 8 & 255) + d] << 8 | add[(int)(c & 255) + d];
        }
    rand_state = state;
}

void fx_fade(uint32_t* pixels, int16_t x0, int16_t y0, int16_t x1, int16_t y1, int16_t lo, int16_t hi)
{
    Rect r;
    // hi == lo has no gain; leave the picture alone rather than divide by zero.
    if (hi == lo || !clamp_rect(&r, x0, y0, x1, y1))
        return;
    float gain = 256.0f / (float)(hi - lo);
    // Every byte value maps the same way, so the mapping is worked out once per call.
    uint8_t map[256];
    for (int ch = 0; ch < 256; ch++)
        map[ch] = (uint8_t)clamp_byte(trunc_int((float)ch * gain - (float)lo));
    for (int y = r.y0; y < r.y1; y++)
        for (int x = r.x0; x < r.x1; x++) {
            uint32_t c = pixels[y * SCREEN_W + x];
            pixels[y * SCREEN_W + x] = (c & 0xFF000000u) | (uint32_t)map[c >> 16 & 255] << 16 |
                                       (uint32_t)map[c >> 8 & 255] << 8 | map[c & 255];
        }
}

void fx_blur(uint32_t* pixels, int16_t x0, int16_t y0, int16_t x1, int16_t y1, uint8_t radius)
{
    Rect r;
    if (!radius || !clamp_rect(&r, x0, y0, x1, y1))
        return;
    // The sums are wide enough for any radius a byte can hold.
    if (!blur_recip[1])
        for (int n = 1; n <= BLUR_MAX_COUNT; n++)
            blur_recip[n] = ((uint64_t)1 << 32) / (uint64_t)n + 1;
    for (int y = r.y0; y < r.y1; y++)
        blur_run(&pixels[y * SCREEN_W + r.x0], r.x1 - r.x0, 1, radius);
    for (int x = r.x0; x < r.x1; x++)
        blur_run(&pixels[r.y0 * SCREEN_W + x], r.y1 - r.y0, SCREEN_W, radius);
}

void fx_row_shift(uint32_t* pixels, float jump_scale, float return_scale, int jump_odds, int return_odds)
{
    int64_t e = 0;  // the last jump, not yet pulled back
    int64_t n = 0;  // source index into the Screen as 36000 pixels in row order
    int o = 0;
    for (int row = 0; row < SCREEN_H; row++) {
        if (odds_hit(return_odds)) {
            int64_t f = trunc_safe((float)((demo_rand() & 15) - 7) * return_scale);
            if (e != 0) {
                if (e < 0 && f < e)
                    f = e;
                if (e > 0 && f > e)
                    f = e;
                n -= f;
                e -= f;
            }
        }
        if (odds_hit(jump_odds)) {
            e = trunc_safe((float)((demo_rand() & 15) - 7) * jump_scale);
            n += e;
        }
        // Keep the running index far from overflow; anything outside the Screen reads its ends anyway.
        if (n >= SCREEN_PIXELS)
            n = SCREEN_PIXELS - 1;
        if (n < -(int64_t)1 << 40)
            n = -(int64_t)1 << 40;
        if (e > (int64_t)1 << 40 || e < -((int64_t)1 << 40))
            e = e > 0 ? (int64_t)1 << 40 : -((int64_t)1 << 40);
        for (int k = 0; k < SCREEN_W; k++, o++, n++)
            shift_scratch[o] = pixels[n < 0 ? 0 : n > SCREEN_PIXELS - 1 ? SCREEN_PIXELS - 1 : n];
    }
    memcpy(pixels, shift_scratch, sizeof shift_scratch);
}

void fx_warp(uint32_t* pixels, float p1, float p2, float p3, float p4, float p5)
{
    float phase = (float)fx_time * p5;
    // The table terms of a column depend only on x, those of a row only on y.
    float cos_ux[SCREEN_W], sin_ux[SCREEN_W];
    // Where every term is a modest number the sums truncate as plain ints do; only not-a-number and
    // huge amplitudes need the careful conversion.
    const float MODEST = 1e6f;
    int modest = 1;
    for (int x = 0; x < SCREEN_W; x++) {
        float ux = (float)x * p1 + phase;
        cos_ux[x] = table_cos(ux);
        sin_ux[x] = p3 * table_sin(ux);
        modest &= fabsf(cos_ux[x]) <= MODEST && fabsf(sin_ux[x]) <= MODEST;
    }
    for (int y = 0; y < SCREEN_H; y++) {
        float vy = (float)y * p2 + phase;
        float cos_vy = p4 * table_cos(vy), sin_vy = table_sin(vy);
        if (modest && fabsf(cos_vy) <= MODEST && fabsf(sin_vy) <= MODEST) {
            // Four columns at a time: the same single-precision sums in the same order, truncated.
            const Floats4 fy = {(float)y, (float)y, (float)y, (float)y}, cy = {cos_vy, cos_vy, cos_vy, cos_vy};
            const Floats4 sy4 = {sin_vy, sin_vy, sin_vy, sin_vy};
            const Ints4 last_row = {SCREEN_H - 1, SCREEN_H - 1, SCREEN_H - 1, SCREEN_H - 1};
            const Ints4 last_col = {SCREEN_W - 1, SCREEN_W - 1, SCREEN_W - 1, SCREEN_W - 1};
            for (int x = 0; x < SCREEN_W; x += 4) {
                Floats4 cu, su;
                memcpy(&cu, cos_ux + x, sizeof cu);
                memcpy(&su, sin_ux + x, sizeof su);
                const Floats4 fx = {(float)x, (float)(x + 1), (float)(x + 2), (float)(x + 3)};
                Ints4 sy = __builtin_convertvector(fy + cu + cy, Ints4);
                Ints4 sx = __builtin_convertvector(fx + sy4 + su, Ints4);
                sy &= ~(sy < 0);
                sx &= ~(sx < 0);
                Ints4 over = sy > last_row;
                sy = (sy & ~over) | (last_row & over);
                over = sx > last_col;
                sx = (sx & ~over) | (last_col & over);
                Ints4 at = sy * (int32_t)SCREEN_W + sx;
                for (int k = 0; k < 4; k++)
                    warp_scratch[y * SCREEN_W + x + k] = pixels[at[k]];
            }
            continue;
        }
        for (int x = 0; x < SCREEN_W; x++) {
            int64_t sy = trunc_safe((float)y + cos_ux[x] + cos_vy);
            int64_t sx = trunc_safe((float)x + sin_vy + sin_ux[x]);
            sy = sy < 0 ? 0 : sy > SCREEN_H - 1 ? SCREEN_H - 1 : sy;
            sx = sx < 0 ? 0 : sx > SCREEN_W - 1 ? SCREEN_W - 1 : sx;
            warp_scratch[y * SCREEN_W + x] = pixels[sy * SCREEN_W + sx];
        }
    }
    memcpy(pixels, warp_scratch, sizeof warp_scratch);
}

void end_sequence(float v)
{
    float b = v * 128.0f;
    int64_t tb = trunc_safe(b);
    uint8_t n = (uint8_t)tb;  // the low byte
    int16_t lo = (int16_t)tb, hi = (int16_t)trunc_safe(b + 256.0f);
    fx_noise(screen, 0, 0, SCREEN_W, SCREEN_H, n);
    if (v < 0.5f)
        fx_row_shift(screen, v * 16.0f, 2.0f, 32, 1);
    fx_fade(screen, 0, 0, SCREEN_W, SCREEN_H, lo, hi);
    // The water passes both fades, the logo only the second, so the logo outlasts the water.
    image_blit_alpha(&overlay_images[OVERLAY_END_LOGO], 0, 0);
    fx_noise(screen, 0, 0, SCREEN_W, SCREEN_H, n);
    if (v > 0.5f) {
        float w = v - 0.5f;
        fx_row_shift(screen, w * 8.0f, 0.5f, 8, 1);
        fx_blur(screen, 0, 0, SCREEN_W, SCREEN_H, (uint8_t)trunc_safe(w * 80.0f));
    }
    fx_fade(screen, 0, 0, SCREEN_W, SCREEN_H, lo, hi);
}
