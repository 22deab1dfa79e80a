// cell_convert.cpp -- one 3 x 3 pixel block to one console cell through the two lookup tables
#include "console/console.h"
#include "console/console_local.h"
#include "platform/file.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

// ---- state ----

uint8_t char_table[CHAR_TABLE_BYTES];
uint8_t colour_table[CELL_COLOURS];
float mix_table[CELL_COLOURS];

static const char* CHARMAP_FILE = "data/charmap.lut";
static const char* COLMAP_FILE = "data/colmap.lut";

// ---- internal functions ----

static CellColour pixel_colour(uint32_t p)
{
    return CellColour{-1, (int)(p & 255), (int)((p >> 8) & 255), (int)((p >> 16) & 255)};
}

static CellColour palette_colour(int index)
{
    return CellColour{index, vga_palette[index][0], vga_palette[index][1], vga_palette[index][2]};
}

// Reads the whole of `name` into `out` when it is exactly `expected` bytes long; otherwise says why.
static int read_table_file(const char* name, uint8_t* out, long expected)
{
    FILE* f = file_open_data(name);
    if (!f) {
        msg_print(stderr, "%s: cannot be opened (%s), expected a file of %ld bytes\n", name, file_problem(), expected);
        return 0;
    }
    long size = -1;
    if (fseek(f, 0, SEEK_END) == 0)
        size = ftell(f);
    int ok = size == expected && fseek(f, 0, SEEK_SET) == 0 && fread(out, 1, (size_t)expected, f) == (size_t)expected;
    fclose(f);
    if (!ok)
        msg_print(stderr, "%s: %ld bytes, expected %ld\n", name, size, expected);
    return ok;
}

int colour_distance(const CellColour* p, const CellColour* q)
{
    int m = (p->red + q->red) / 2;
    int dr = p->red - q->red, dg = p->green - q->green, db = p->blue - q->blue;
    return ((512 + m) * dr * dr) / 256 + ((767 - m) * db * db) / 256 + 4 * dg * dg;
}

int nearest_console_colour(const CellColour* pixel, int* distance)
{
    int best = -1, best_d = INT_MAX;
    for (int i = 15; i >= 0; i--) {
        CellColour c = palette_colour(i);
        int d = colour_distance(&c, pixel);
        if (d < best_d)
            best = i, best_d = d;
    }
    *distance = best_d;
    return best;
}

int cell_noise(int column, int row)
{
    uint32_t h = (((uint32_t)column * 214013u + 2531101u) ^ ((uint32_t)row * 214031u + 2513101u)) >> 16 & 0x7FFF;
    return (int)((h * 214013u + 2531011u) >> 16 & 3);
}

int pattern_code(const int digits[9])
{
    int code = 0;
    for (int k = 8; k >= 0; k--)
        code = code * 3 + digits[k];
    return code;
}

uint8_t dither_char(int column, int row, float mix)
{
    // The truncation behaves like the x86 conversion: out of range or not a number gives INT_MIN,
    // which as an unsigned position is past the ramp and ends on its last entry.
    double x = (double)mix * 2 * 37;
    int k = x > -2147483649.0 && x < 2147483648.0 ? (int)x : INT_MIN;
    unsigned u = (unsigned)(k ^ cell_noise(column, row));
    if (u > 36)
        u = 36;
    return shade_ramp[u];
}

uint8_t pattern_char(const uint32_t* pixels, int column, int row, int a, int b)
{
    CellColour ca = palette_colour(a), cb = palette_colour(b);
    float t[9];
    float m = 0;
    for (int k = 0; k < 9; k++) {
        CellColour p = pixel_colour(pixels[(row * 3 + k / 3) * 240 + column * 3 + k % 3]);
        float da = (float)colour_distance(&ca, &p) * (1.0f / 256);
        float db = (float)colour_distance(&cb, &p) * (1.0f / 256);
        float s = da + db;
        float tk = 0;
        if (s != 0) {
            tk = (da - db) / s + 0.6f;
            tk = tk < 0 ? 0 : tk > 1 ? 1 : tk;
        }
        t[k] = tk;
        if (tk > m)
            m = tk;
    }
    // 6 x M is a single-precision product; the rest in double, as the constants are written.
    int q = (int)((double)(6 * m) - 0.5);
    q = q < 0 ? 0 : q > 5 ? 5 : q;
    float scale = 6.0f / (float)(q + 1);
    int digits[9];
    for (int k = 0; k < 9; k++) {
        int d = (int)((double)t[k] * 2.5 * (double)scale);
        digits[k] = d > 2 ? 2 : d;
    }
    return char_table[q * CELL_PATTERNS + pattern_code(digits)];
}

void choose_cell_colours(const uint32_t* pixels, int column, int row, int* a, int* b, float* mix)
{
    CellColour px[9];
    int sr = 0, sg = 0, sb = 0;
    for (int k = 0; k < 9; k++) {
        px[k] = pixel_colour(pixels[(row * 3 + k / 3) * 240 + column * 3 + k % 3]);
        sr += px[k].red, sg += px[k].green, sb += px[k].blue;
    }
    int mr = sr / 9, mg = sg / 9, mb = sb / 9;
    int v = 0;
    for (int k = 0; k < 9; k++) {
        int dr = mr - px[k].red, dg = mg - px[k].green, db = mb - px[k].blue;
        v += dr * dr + dg * dg + db * db;
    }
    v /= 9;
    if (v <= CELL_FLAT_SPREAD) {
        int idx = cell_colour_index(mr, mg, mb);
        *a = colour_table[idx] >> 4;
        *b = colour_table[idx] & 15;
        *mix = mix_table[idx];
        return;
    }
    // Each pixel lowers the score of its nearest console colour by 65536 less the distance.
    int score[16];
    for (int i = 0; i < 16; i++)
        score[i] = 9 * 65536;
    for (int k = 0; k < 9; k++) {
        int d;
        int n = nearest_console_colour(&px[k], &d);
        score[n] += d - 65536;
    }
    int best = -1;
    for (int i = 15; i >= 0; i--)
        if (best < 0 || score[i] < score[best])
            best = i;
    int second = -1;
    for (int i = 15; i >= 0; i--)
        if (i != best && (second < 0 || score[i] < score[second]))
            second = i;
    *a = best;
    *b = second;
    *mix = -1;
}

// ---- public functions ----

int load_cell_tables(void)
{
    static uint8_t colmap[COLMAP_BYTES];
    if (!read_table_file(CHARMAP_FILE, char_table, CHAR_TABLE_BYTES) ||
        !read_table_file(COLMAP_FILE, colmap, COLMAP_BYTES)) {
        // Nothing converts with half a set of tables.
        memset(char_table, 0, sizeof char_table);
        memset(colour_table, 0, sizeof colour_table);
        memset(mix_table, 0, sizeof mix_table);
        return 0;
    }
    memcpy(colour_table, colmap, CELL_COLOURS);
    for (int i = 0; i < CELL_COLOURS; i++) {
        const uint8_t* p = colmap + MIX_TABLE_OFFSET + 4 * i;
        uint32_t bits = p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
        memcpy(&mix_table[i], &bits, 4);
    }
    return 1;
}

int console_nearest_colour(int red, int green, int blue)
{
    CellColour c = {-1, red, green, blue};
    int d;
    return nearest_console_colour(&c, &d);
}

uint8_t convert_cell(const uint32_t* pixels, int column, int row, uint8_t* character)
{
    int a, b;
    float mix;
    choose_cell_colours(pixels, column, row, &a, &b, &mix);
    *character = mix < 0 ? pattern_char(pixels, column, row, a, b) : dither_char(column, row, mix);
    return (uint8_t)(a * 16 + b);
}
