// convert_test.cpp -- the run-time cell conversion: flat and detailed paths, tie rules, exact arithmetic
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <vector>

#include "console/console.h"
#include "console/console_local.h"

namespace {

uint32_t rgb(int r, int g, int b) { return (uint32_t)r | (uint32_t)g << 8 | (uint32_t)b << 16; }

// Runs each test on tables of its own and puts the loaded ones back afterwards.
struct ConvertTest : ::testing::Test {
    std::vector<uint8_t> saved_chars, saved_colours;
    std::vector<float> saved_mix;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(240 * 150);

    void SetUp() override
    {
        saved_chars.assign(char_table, char_table + CHAR_TABLE_BYTES);
        saved_colours.assign(colour_table, colour_table + CELL_COLOURS);
        saved_mix.assign(mix_table, mix_table + CELL_COLOURS);
    }
    void TearDown() override
    {
        memcpy(char_table, saved_chars.data(), CHAR_TABLE_BYTES);
        memcpy(colour_table, saved_colours.data(), CELL_COLOURS);
        memcpy(mix_table, saved_mix.data(), CELL_COLOURS * sizeof(float));
    }
    // The nine pixels of cell (column, row), top-left first.
    void put_block(int column, int row, const uint32_t nine[9])
    {
        for (int k = 0; k < 9; k++)
            pixels[(row * 3 + k / 3) * 240 + column * 3 + k % 3] = nine[k];
    }
    uint8_t convert(int column, int row, uint8_t* ch) { return convert_cell(pixels.data(), column, row, ch); }
};

// ---- the rule written out again from its description, for the remembering conversion to be held to ----

struct Rgb {
    int r, g, b;
};

Rgb rgb_of(uint32_t p) { return {(int)(p & 255), (int)(p >> 8 & 255), (int)(p >> 16 & 255)}; }
Rgb palette(int i) { return {vga_palette[i][0], vga_palette[i][1], vga_palette[i][2]}; }

int rule_distance(Rgb p, Rgb q)
{
    int m = (p.r + q.r) / 2, dr = p.r - q.r, dg = p.g - q.g, db = p.b - q.b;
    return ((512 + m) * dr * dr) / 256 + ((767 - m) * db * db) / 256 + 4 * dg * dg;
}

int rule_nearest(Rgb p, int* distance)
{
    int best = -1, best_d = INT_MAX;
    for (int i = 15; i >= 0; i--) {
        int d = rule_distance(palette(i), p);
        if (d < best_d)
            best = i, best_d = d;
    }
    *distance = best_d;
    return best;
}

uint8_t rule_cell(const uint32_t* pixels, int column, int row, uint8_t* ch)
{
    Rgb q[9];
    int sr = 0, sg = 0, sb = 0;
    for (int k = 0; k < 9; k++) {
        q[k] = rgb_of(pixels[(row * 3 + k / 3) * 240 + column * 3 + k % 3]);
        sr += q[k].r, sg += q[k].g, sb += q[k].b;
    }
    int mr = sr / 9, mg = sg / 9, mb = sb / 9, v = 0;
    for (int k = 0; k < 9; k++)
        v += (mr - q[k].r) * (mr - q[k].r) + (mg - q[k].g) * (mg - q[k].g) + (mb - q[k].b) * (mb - q[k].b);
    int a, b;
    float mix;
    if (v / 9 <= 256) {
        int idx = (mr >> 3) * 1024 + (mg >> 3) * 32 + (mb >> 3);
        a = colour_table[idx] >> 4, b = colour_table[idx] & 15, mix = mix_table[idx];
    } else {
        int score[16];
        for (int& s : score)
            s = 589824;
        for (int k = 0; k < 9; k++) {
            int d, n = rule_nearest(q[k], &d);
            score[n] += d - 65536;
        }
        a = -1, b = -1;
        for (int i = 15; i >= 0; i--)
            if (a < 0 || score[i] < score[a])
                a = i;
        for (int i = 15; i >= 0; i--)
            if (i != a && (b < 0 || score[i] < score[b]))
                b = i;
        mix = -1;
    }
    if (mix < 0) {
        float t[9], m = 0;
        for (int k = 0; k < 9; k++) {
            float da = (float)rule_distance(palette(a), q[k]) * (1.0f / 256), db = (float)rule_distance(palette(b), q[k]) * (1.0f / 256);
            float s = da + db;
            t[k] = s == 0 ? 0 : std::min(1.0f, std::max(0.0f, (da - db) / s + 0.6f));
            m = std::max(m, t[k]);
        }
        int level = std::min(5, std::max(0, (int)((double)(6 * m) - 0.5)));
        float scale = 6.0f / (float)(level + 1);
        int code = 0;
        for (int k = 8; k >= 0; k--)
            code = code * 3 + std::min(2, (int)((double)t[k] * 2.5 * (double)scale));
        *ch = char_table[level * CELL_PATTERNS + code];
    } else {
        uint32_t h = (((uint32_t)column * 214013u + 2531101u) ^ ((uint32_t)row * 214031u + 2513101u)) >> 16 & 0x7FFF;
        int noise = (int)((h * 214013u + 2531011u) >> 16 & 3);
        unsigned k = (unsigned)((int)((double)mix * 2 * 37) ^ noise);
        *ch = shade_ramp[k > 36 ? 36 : k];
    }
    return (uint8_t)(a * 16 + b);
}

TEST(CellArithmetic, DistanceTruncatesEachDivisionAndIsSymmetric)
{
    CellColour p{-1, 2, 0, 1}, black{0, 0, 0, 0};
    // (513 x 4) / 256 = 8 and (766 x 1) / 256 = 2; one division over the sum would give 11.
    EXPECT_EQ(colour_distance(&p, &black), 10);
    CellColour a{-1, 200, 100, 50}, b{-1, 10, 220, 255};
    EXPECT_EQ(colour_distance(&a, &b), 253280);
    EXPECT_EQ(colour_distance(&b, &a), 253280);
}

TEST(CellArithmetic, NearestColourTiesGoToTheHigherIndex)
{
    int d;
    CellColour between{-1, 0, 0, 64};  // as far from black as from dark blue
    EXPECT_EQ(nearest_console_colour(&between, &d), 1);
    EXPECT_EQ(d, 12272);
    CellColour white{-1, 255, 255, 255};
    EXPECT_EQ(nearest_console_colour(&white, &d), 15);
    EXPECT_EQ(d, 0);
}

TEST(CellArithmetic, NoiseAndPatternCode)
{
    EXPECT_EQ(cell_noise(0, 0), 2);
    EXPECT_EQ(cell_noise(1, 0), 3);
    EXPECT_EQ(cell_noise(0, 1), 3);
    EXPECT_EQ(cell_noise(79, 49), 3);
    int digits[9] = {2, 2, 2, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(pattern_code(digits), 26 + 6561);
    int top[9] = {2, 2, 2, 2, 2, 2, 2, 2, 2};
    EXPECT_EQ(pattern_code(top), 19682);
}

TEST(CellArithmetic, NearestColourAcrossTheCube)
{
    // Every fifth level of each channel and the top one: the distances of all sixteen worked out together
    // give what the rule gives one by one.
    for (int r = 0; r < 256; r = r == 255 ? 256 : std::min(255, r + 5))
        for (int g = 0; g < 256; g = g == 255 ? 256 : std::min(255, g + 5))
            for (int b = 0; b < 256; b = b == 255 ? 256 : std::min(255, b + 5)) {
                CellColour c{-1, r, g, b};
                int d, want_d;
                int n = nearest_console_colour(&c, &d);
                ASSERT_EQ(n, rule_nearest({r, g, b}, &want_d)) << r << "," << g << "," << b;
                ASSERT_EQ(d, want_d) << r << "," << g << "," << b;
            }
}

TEST_F(ConvertTest, RememberedBlocksConvertAsTheRuleSaysFrameAfterFrame)
{
    // Tables of made-up content (a third of the colours on the pattern path) and six Screens, each
    // changing some blocks of the last: new pixels, one channel by one, only the unused fourth byte.
    // Between frames the tables change too, which nothing remembered may hide.
    std::mt19937 rng(2525);
    auto fill_tables = [&] {
        for (int i = 0; i < CHAR_TABLE_BYTES; i++)
            char_table[i] = (uint8_t)rng();
        for (int i = 0; i < CELL_COLOURS; i++) {
            colour_table[i] = (uint8_t)rng();
            mix_table[i] = rng() % 3 == 0 ? -1.0f : (float)(rng() % 1000) / 2000.0f;
        }
    };
    auto block = [&](int column, int row) {
        uint32_t nine[9];
        uint32_t base = rng() & 0xFFFFFF, kind = rng() % 4;
        for (uint32_t& p : nine) {
            switch (kind) {
            case 0: p = rng(); break;                                        // anything, fourth byte too
            case 1: p = (rng() & 0x03030303u) * 0x40u; break;                // on the palette's levels
            case 2: p = base; break;                                         // flat
            default: p = base ^ (rng() & 0x070707u); break;                  // nearly flat
            }
        }
        put_block(column, row, nine);
    };
    fill_tables();
    for (int row = 0; row < 50; row++)
        for (int column = 0; column < 80; column++)
            block(column, row);
    static DisplayCell cells[DISPLAY_CELLS];
    for (int frame = 0; frame < 6; frame++) {
        if (frame == 3)
            fill_tables();
        convert_screen(pixels.data(), cells);
        int mismatches = 0;
        for (int row = 0; row < 50; row++)
            for (int column = 0; column < 80; column++) {
                uint8_t ch;
                uint8_t attr = rule_cell(pixels.data(), column, row, &ch);
                const DisplayCell& got = cells[row * 80 + column];
                if ((got.attr != attr || got.ch != ch) && ++mismatches <= 5)
                    ADD_FAILURE() << "frame " << frame << " cell " << column << "," << row;
            }
        ASSERT_EQ(mismatches, 0);
        for (int k = 0; k < 1500; k++) {
            int column = (int)(rng() % 80), row = (int)(rng() % 50);
            uint32_t& p = pixels[(row * 3 + rng() % 3) * 240 + column * 3 + rng() % 3];
            switch (k % 3) {
            case 0: block(column, row); break;
            case 1: p ^= 1u << (rng() % 3 * 8); break;   // one channel, by one
            default: p ^= 0x5A000000u; break;            // the unused byte alone
            }
        }
    }
}

TEST_F(ConvertTest, EqualPixelsTakeTheTableAttribute)
{
    uint32_t c = rgb(100, 150, 200);
    uint32_t nine[9] = {c, c, c, c, c, c, c, c, c};
    put_block(7, 3, nine);
    int idx = cell_colour_index(100, 150, 200);
    EXPECT_EQ(idx, 12 * 1024 + 18 * 32 + 25);
    colour_table[idx] = 0x5A;
    mix_table[idx] = 0;
    uint8_t ch;
    EXPECT_EQ(convert(7, 3, &ch), 0x5A);
    EXPECT_EQ(ch, ' ');
}

TEST_F(ConvertTest, MixesPickTheirRampGroupInEveryCell)
{
    int idx = cell_colour_index(64, 64, 64);
    colour_table[idx] = 0x07;
    for (int k = 0; k < 240 * 150; k++)
        pixels[k] = rgb(64, 64, 64);
    struct {
        float mix;
        uint8_t ch;
    } cases[] = {
        {0.0f, 0x20}, {-0.0f, 0x20}, {0.25f, 0xB0}, {0.5f, 0x00},
        {std::numeric_limits<float>::quiet_NaN(), 0x00},  // not a number ends on the last entry
        {std::numeric_limits<float>::infinity(), 0x00},
        {3e9f, 0x00},
    };
    for (auto c : cases) {
        mix_table[idx] = c.mix;
        for (int row = 0; row < 50; row++)
            for (int column = 0; column < 80; column++) {
                uint8_t ch;
                ASSERT_EQ(convert(column, row, &ch), 0x07);
                ASSERT_EQ(ch, c.ch) << "mix " << c.mix << " cell " << column << "," << row;
            }
    }
}

TEST_F(ConvertTest, WhiteTopRowOverBlack)
{
    uint32_t w = rgb(255, 255, 255);
    uint32_t nine[9] = {w, w, w, 0, 0, 0, 0, 0, 0};
    put_block(10, 20, nine);
    char_table[5 * CELL_PATTERNS + 26] = 0xDF;
    uint8_t ch;
    EXPECT_EQ(convert(10, 20, &ch), 0x0F);
    EXPECT_EQ(ch, 0xDF);
    EXPECT_EQ(5 * CELL_PATTERNS + 26, 98441);
}

TEST_F(ConvertTest, UnchosenRunnerUpIsTheHighestFreeIndex)
{
    // Every pixel is nearest to bright blue, yet the block is too varied to be flat.
    uint32_t p = rgb(0, 0, 200), q = rgb(0, 0, 255);
    uint32_t nine[9] = {p, q, p, q, p, q, p, q, p};
    put_block(0, 0, nine);
    uint8_t ch;
    EXPECT_EQ(convert(0, 0, &ch), 0x9F);
}

TEST_F(ConvertTest, EqualScoresGoToTheHigherIndex)
{
    uint32_t r = rgb(255, 0, 0), g = rgb(0, 255, 0);
    uint32_t nine[9] = {r, g, 0, r, g, 0, r, g, 0};  // three each, all at distance 0
    put_block(1, 1, nine);
    uint8_t ch;
    EXPECT_EQ(convert(1, 1, &ch), 0xCA);
}

TEST_F(ConvertTest, PatternLevelsAndDigits)
{
    // (100, 130, 150) is exactly as far from black as from white: it leans 0.6 towards white.
    uint32_t mid = rgb(100, 130, 150), w = rgb(255, 255, 255);
    uint32_t alone[9] = {0, 0, 0, 0, mid, 0, 0, 0, 0};
    put_block(2, 2, alone);
    char_table[3 * CELL_PATTERNS + 2 * 81] = 'x';  // strongest 0.6: level 3, where 0.6 is a full digit
    EXPECT_EQ(pattern_char(pixels.data(), 2, 2, 0, 15), 'x');
    uint32_t with_white[9] = {w, 0, 0, 0, mid, 0, 0, 0, 0};
    put_block(2, 2, with_white);
    char_table[5 * CELL_PATTERNS + 2 + 81] = 'y';  // beside white the same pixel is only half way
    EXPECT_EQ(pattern_char(pixels.data(), 2, 2, 0, 15), 'y');
    uint32_t all_black[9] = {};
    put_block(2, 2, all_black);
    char_table[0] = 'z';  // nothing leans anywhere: level 0, pattern 0
    EXPECT_EQ(pattern_char(pixels.data(), 2, 2, 0, 0), 'z');
}

TEST_F(ConvertTest, MovingACellChangesOnlyFlatCharacters)
{
    for (int i = 0; i < CHAR_TABLE_BYTES; i++)
        char_table[i] = (uint8_t)(i * 7 + 1);
    uint32_t w = rgb(255, 255, 255), grey = rgb(90, 90, 90);
    uint32_t detailed[9] = {w, 0, w, 0, grey, 0, w, 0, w};
    uint32_t flat[9] = {grey, grey, grey, grey, grey, grey, grey, grey, grey};
    int idx = cell_colour_index(90, 90, 90);
    colour_table[idx] = 0x08;
    mix_table[idx] = 0.1f;  // entries 4-7: a dot or a larger dot depending on the cell
    std::set<uint8_t> detailed_chars, flat_chars;
    for (int row = 0; row < 50; row += 7)
        for (int column = 0; column < 80; column += 3) {
            uint8_t ch;
            put_block(column, row, detailed);
            convert(column, row, &ch);
            detailed_chars.insert(ch);
            put_block(column, row, flat);
            EXPECT_EQ(convert(column, row, &ch), 0x08);
            flat_chars.insert(ch);
        }
    EXPECT_EQ(detailed_chars.size(), 1u);
    EXPECT_EQ(flat_chars, (std::set<uint8_t>{0xFA, 0xF9}));
}

}  // namespace
