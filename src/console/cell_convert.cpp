// cell_convert.cpp -- one 3 x 3 pixel block to one console cell through the two lookup tables
//
// A block's colours, flatness and pattern follow from its nine pixels and the fixed palette alone,
// so each cell position remembers what its last block decided: most blocks come again frame after
// frame and are then only looked up in the tables. Distances stay in integers; single precision
// enters where a pixel's leaning is their quotient.
#include "console/console.h"
#include "console/console_local.h"
#include "platform/file.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

// ---- types ----

enum {
    BLOCK_STRIDE = 240,                           // pixels per Screen row
    MEMO_COLUMNS = 80,                            // cell positions remembered: the whole console
    MEMO_ROWS = 50,
    NEAREST_SLOTS = 1 << 14,                      // pixels whose nearest console colour is remembered
    NEAREST_FILLED = 1 << 24,                     // set in a slot's colour once it holds one
    MEMO_FILLED = 1 << 24,                        // set in a memo's first pixel once it holds a block
};

// The last block seen at one cell position and what its pixels decided.
// 48 bytes, so that the 4000 of a frame take as little of the cache as they can.
struct BlockMemo {
    uint32_t px[9];   // colour bytes of the nine pixels, top-left first; bit 24 of px[0] set once filled
    int32_t pattern;  // level x 19683 + code of the block for colours (a, b); -1 while not worked out
    int16_t idx;      // flat block: index of its mean colour; -1 for a detailed block
    uint8_t a, b;     // detailed block: its colours; flat block: the pair `pattern` was worked out for
    uint8_t noise;    // cell_noise of the position
};

// The console palette by channel, for distance_of over all sixteen entries at once.
struct PaletteChannels {
    int red[16], green[16], blue[16];
};

struct NearestMemo {
    uint32_t colour;  // pixel colour | NEAREST_FILLED
    int index, distance;
};

// ---- state ----

uint8_t char_table[CHAR_TABLE_BYTES];
uint8_t colour_table[CELL_COLOURS];
float mix_table[CELL_COLOURS];

static const char* CHARMAP_FILE = "data/charmap.lut";
static const char* COLMAP_FILE = "data/colmap.lut";

static BlockMemo block_memo[MEMO_ROWS][MEMO_COLUMNS];
static NearestMemo nearest_memo[NEAREST_SLOTS];

// ---- internal functions ----

// The nine colours of the block of cell (column, row), without the unused fourth byte.
static void load_block(const uint32_t* pixels, int column, int row, uint32_t px[9])
{
    const uint32_t* p = pixels + row * 3 * BLOCK_STRIDE + column * 3;
    for (int j = 0; j < 3; j++, p += BLOCK_STRIDE)
        for (int i = 0; i < 3; i++)
            px[3 * j + i] = p[i] & 0xFFFFFF;
}

static CellColour pixel_colour(uint32_t p)
{
    return CellColour{-1, (int)(p & 255), (int)((p >> 8) & 255), (int)((p >> 16) & 255)};
}

static CellColour palette_colour(int index)
{
    return CellColour{index, vga_palette[index][0], vga_palette[index][1], vga_palette[index][2]};
}

// colour_distance of two colours given as bytes. Both weighted terms are never negative, so their
// divisions by 256 are shifts; in unsigned arithmetic the compiler needs no sign fix-ups and can work
// on several palette entries at once.
static inline uint32_t distance_of(int r1, int g1, int b1, int r2, int g2, int b2)
{
    uint32_t m = (uint32_t)(r1 + r2) >> 1;
    int dr = r1 - r2, dg = g1 - g2, db = b1 - b2;
    return ((512 + m) * (uint32_t)(dr * dr) >> 8) + ((767 - m) * (uint32_t)(db * db) >> 8) + 4 * (uint32_t)(dg * dg);
}

static constexpr PaletteChannels channels_of(const uint8_t colours[16][3])
{
    PaletteChannels p = {};
    for (int i = 0; i < 16; i++)
        p.red[i] = colours[i][0], p.green[i] = colours[i][1], p.blue[i] = colours[i][2];
    return p;
}

static constexpr PaletteChannels palette = channels_of(vga_palette);

// nearest_console_colour of a pixel colour, remembered: the palette never changes.
static int nearest_remembered(uint32_t colour, int* distance)
{
    NearestMemo* m = &nearest_memo[(colour * 2654435761u) >> 18];
    if (m->colour != (colour | NEAREST_FILLED)) {
        CellColour c = pixel_colour(colour);
        m->index = nearest_console_colour(&c, &m->distance);
        m->colour = colour | NEAREST_FILLED;
    }
    *distance = m->distance;
    return m->index;
}

// A block's colours: for a flat block the index of its mean colour (the tables decide the rest),
// for a detailed one -1 with its background *a and foreground *b.
static int block_colours(const uint32_t px[9], int* a, int* b)
{
    int sr = 0, sg = 0, sb = 0;
    for (int k = 0; k < 9; k++) {
        sr += px[k] & 255;
        sg += px[k] >> 8 & 255;
        sb += px[k] >> 16;
    }
    int mr = sr / 9, mg = sg / 9, mb = sb / 9;
    int v = 0;
    for (int k = 0; k < 9; k++) {
        int dr = mr - (int)(px[k] & 255), dg = mg - (int)(px[k] >> 8 & 255), db = mb - (int)(px[k] >> 16);
        v += dr * dr + dg * dg + db * db;
    }
    if (v / 9 <= CELL_FLAT_SPREAD)
        return cell_colour_index(mr, mg, mb);
    // Each pixel lowers the score of its nearest console colour by 65536 less the distance.
    int score[16];
    for (int i = 0; i < 16; i++)
        score[i] = 9 * 65536;
    unsigned chosen = 0;
    for (int k = 0; k < 9; k++) {
        int d;
        int n = nearest_remembered(px[k], &d);
        score[n] += d - 65536;
        chosen |= 1u << n;
    }
    // The lowest score and the runner-up, ties to the higher index. Colours no pixel chose all keep the
    // same score, so of them only the two highest can be among the two.
    int best = -1, second = -1;
    auto consider = [&](int i) {
        if (best < 0 || score[i] < score[best] || (score[i] == score[best] && i > best)) {
            second = best;
            best = i;
        } else if (second < 0 || score[i] < score[second] || (score[i] == score[second] && i > second)) {
            second = i;
        }
    };
    for (unsigned m = chosen; m; m &= m - 1)
        consider(__builtin_ctz(m));
    unsigned other = ~chosen & 0xFFFFu;
    for (int k = 0; k < 2 && other; k++) {
        int i = 31 - __builtin_clz(other);
        consider(i);
        other &= ~(1u << i);
    }
    *a = best;
    *b = second;
    return -1;
}

// Where a block's pattern for colours a and b stands in char_table: level x 19683 + code.
static int block_pattern(const uint32_t px[9], int a, int b)
{
    CellColour ca = palette_colour(a), cb = palette_colour(b);
    float t[9];
    float m = 0;
    for (int k = 0; k < 9; k++) {
        CellColour p = pixel_colour(px[k]);
        // The distances over 256 are exact in single precision (below 2^24 / 256), so their
        // difference over their sum is the quotient of the integers, rounded once.
        int da = (int)distance_of(ca.red, ca.green, ca.blue, p.red, p.green, p.blue);
        int db = (int)distance_of(cb.red, cb.green, cb.blue, p.red, p.green, p.blue);
        float tk = 0;
        if (da + db != 0) {
            tk = (float)(da - db) / (float)(da + db) + 0.6f;
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
    int code = 0;
    for (int k = 8; k >= 0; k--) {
        int d = (int)((double)t[k] * 2.5 * (double)scale);
        code = code * 3 + (d > 2 ? 2 : d);
    }
    return q * CELL_PATTERNS + code;
}

// The shade ramp's character for a mix at a cell whose noise is `noise`. The truncation behaves like
// the x86 conversion: out of range or not a number gives INT_MIN, which as an unsigned position is
// past the ramp and ends on its last entry.
static uint8_t ramp_char(float mix, int noise)
{
    double x = (double)mix * 2 * 37;
    int k = x > -2147483649.0 && x < 2147483648.0 ? (int)x : INT_MIN;
    unsigned u = (unsigned)(k ^ noise);
    if (u > 36)
        u = 36;
    return shade_ramp[u];
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
    uint32_t d[16];
    for (int i = 0; i < 16; i++)
        d[i] = distance_of(palette.red[i], palette.green[i], palette.blue[i], pixel->red, pixel->green, pixel->blue);
    int best = 15;
    for (int i = 14; i >= 0; i--)
        if (d[i] < d[best])
            best = i;
    *distance = (int)d[best];
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

uint8_t dither_char(int column, int row, float mix) { return ramp_char(mix, cell_noise(column, row)); }

uint8_t pattern_char(const uint32_t* pixels, int column, int row, int a, int b)
{
    uint32_t px[9];
    load_block(pixels, column, row, px);
    return char_table[block_pattern(px, a, b)];
}

void choose_cell_colours(const uint32_t* pixels, int column, int row, int* a, int* b, float* mix)
{
    uint32_t px[9];
    load_block(pixels, column, row, px);
    int idx = block_colours(px, a, b);
    if (idx < 0) {
        *mix = -1;
        return;
    }
    *a = colour_table[idx] >> 4;
    *b = colour_table[idx] & 15;
    *mix = mix_table[idx];
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
    BlockMemo outside = {};   // a position off the console is worked out without being remembered
    int inside = column >= 0 && column < MEMO_COLUMNS && row >= 0 && row < MEMO_ROWS;
    BlockMemo* m = inside ? &block_memo[row][column] : &outside;
    // The block against the one remembered, straight from the Screen.
    const uint32_t* r0 = pixels + row * 3 * BLOCK_STRIDE + column * 3;
    const uint32_t *r1 = r0 + BLOCK_STRIDE, *r2 = r1 + BLOCK_STRIDE;
    const uint32_t* q = m->px;
    uint32_t differ = (((r0[0] & 0xFFFFFF) | MEMO_FILLED) ^ q[0]) |
                      (((r0[1] ^ q[1]) | (r0[2] ^ q[2]) | (r1[0] ^ q[3]) | (r1[1] ^ q[4]) | (r1[2] ^ q[5]) |
                        (r2[0] ^ q[6]) | (r2[1] ^ q[7]) | (r2[2] ^ q[8])) & 0xFFFFFF);
    if (differ) {
        uint32_t px[9];
        load_block(pixels, column, row, px);
        int a = 0, b = 0;
        int idx = block_colours(px, &a, &b);
        memcpy(m->px, px, sizeof px);
        m->px[0] |= MEMO_FILLED;
        m->idx = (int16_t)idx;
        m->a = (uint8_t)a, m->b = (uint8_t)b;
        m->pattern = idx < 0 ? block_pattern(px, a, b) : -1;
        m->noise = (uint8_t)cell_noise(column, row);
    }
    if (m->idx < 0) {
        *character = char_table[m->pattern];
        return (uint8_t)(m->a * 16 + m->b);
    }
    // A flat block: the tables give its colours and mix (they are read here, never remembered).
    int a = colour_table[m->idx] >> 4, b = colour_table[m->idx] & 15;
    float mix = mix_table[m->idx];
    if (mix < 0) {
        if (m->pattern < 0 || m->a != a || m->b != b) {
            uint32_t px[9];
            load_block(pixels, column, row, px);
            m->a = (uint8_t)a, m->b = (uint8_t)b;
            m->pattern = block_pattern(px, a, b);
        }
        *character = char_table[m->pattern];
    } else {
        *character = ramp_char(mix, m->noise);
    }
    return (uint8_t)(a * 16 + b);
}
