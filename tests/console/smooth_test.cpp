// smooth_test.cpp -- the built tables keep smooth pictures smooth: flat fields repeat one cell, and
// flat fields and gradients show little texture at the scale of Screen pixels
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "console/console.h"
#include "console/console_local.h"

namespace {

std::vector<uint32_t> field(int r, int g, int b)
{
    return std::vector<uint32_t>(240 * 150, (uint32_t)r | (uint32_t)g << 8 | (uint32_t)b << 16);
}

double to_srgb(double l)
{
    return 255 * (l <= 0.0031308 ? l * 12.92 : 1.055 * pow(l, 1 / 2.4) - 0.055);
}

// The drawn cells area-averaged back to 240 x 150 in linear light (each Screen pixel covers 8/3 x 8/3
// glyph pixels, so the 24 x 24 grid of thirds of a glyph pixel sums 8 x 8 of them into one), as luma.
std::vector<double> shown_luma(const DisplayCell* cells)
{
    static std::vector<uint8_t> rgb(640 * 400 * 3);
    vga_draw_cells_rgb(cells, vga_palette, rgb.data());
    std::vector<double> luma(240 * 150);
    for (int y = 0; y < 150; y++)
        for (int x = 0; x < 240; x++) {
            double lin[3] = {0, 0, 0};
            for (int sy = 0; sy < 8; sy++)
                for (int sx = 0; sx < 8; sx++) {
                    const uint8_t* p = &rgb[((size_t)((8 * y + sy) / 3) * 640 + (8 * x + sx) / 3) * 3];
                    for (int k = 0; k < 3; k++) {
                        double c = p[k] / 255.0;
                        lin[k] += (c <= 0.04045 ? c / 12.92 : pow((c + 0.055) / 1.055, 2.4)) / 64;
                    }
                }
            luma[y * 240 + x] = 0.299 * to_srgb(lin[0]) + 0.587 * to_srgb(lin[1]) + 0.114 * to_srgb(lin[2]);
        }
    return luma;
}

struct SmoothTest : ::testing::Test {
    static void SetUpTestSuite() { ASSERT_EQ(load_cell_tables(), 1) << "run from the folder holding data/"; }
};

// Colours between console colours: a grey, a sky blue, a skin tone, a pale green and a red.
const int BETWEEN[][3] = {{160, 160, 160}, {96, 144, 224}, {224, 176, 144}, {24, 224, 24}, {224, 24, 24}};

TEST_F(SmoothTest, FlatFieldRepeatsOneCellUpToCellNoise)
{
    static DisplayCell cells[DISPLAY_CELLS];
    for (const auto& c : BETWEEN) {
        std::vector<uint32_t> px = field(c[0], c[1], c[2]);
        convert_screen(px.data(), cells);
        int idx = cell_colour_index(c[0], c[1], c[2]);
        std::set<uint8_t> glyphs;
        if (mix_table[idx] < 0) {
            glyphs.insert(cells[0].ch);  // the pattern path: one glyph for every cell
        } else {
            int group = (int)(mix_table[idx] * 74) / 4;  // cell noise picks among this group's four entries
            for (int e = 4 * group; e < 4 * group + 4; e++)
                glyphs.insert(shade_ramp[e > 36 ? 36 : e]);
        }
        for (int i = 0; i < DISPLAY_CELLS; i++) {
            ASSERT_EQ(cells[i].attr, cells[0].attr) << c[0] << "," << c[1] << "," << c[2] << " cell " << i;
            ASSERT_TRUE(glyphs.count(cells[i].ch)) << c[0] << "," << c[1] << "," << c[2] << " cell " << i;
        }
    }
}

// What a flat field shows varies by less than a structure index's stabiliser (0.03 x 255)^2 allows
// for a field to count as flat: no rings, dots or bullets where the picture has no texture.
TEST_F(SmoothTest, FlatFieldsShowLittleTexture)
{
    static DisplayCell cells[DISPLAY_CELLS];
    for (const auto& c : BETWEEN) {
        std::vector<uint32_t> px = field(c[0], c[1], c[2]);
        convert_screen(px.data(), cells);
        std::vector<double> luma = shown_luma(cells);
        double mean = 0, square = 0;
        for (double y : luma)
            mean += y / luma.size(), square += y * y / luma.size();
        EXPECT_LT(square - mean * mean, 58.5) << c[0] << "," << c[1] << "," << c[2];
    }
}

// Slow ramps from left to right, one colour per column of cells (grey, sky, warm): what a column
// shows should be as flat as the column is, whatever the colour.
TEST_F(SmoothTest, GradientColumnsShowLittleTexture)
{
    const int from[3][3] = {{80, 80, 80}, {32, 80, 176}, {80, 32, 8}};
    std::vector<uint32_t> px(240 * 150);
    static DisplayCell cells[DISPLAY_CELLS];
    for (const auto& f : from) {
        for (int y = 0; y < 150; y++)
            for (int x = 0; x < 240; x++) {
                int step = x / 3;  // 0 .. 79
                px[y * 240 + x] = (uint32_t)(f[0] + step) | (uint32_t)(f[1] + step) << 8 | (uint32_t)(f[2] + step) << 16;
            }
        convert_screen(px.data(), cells);
        std::vector<double> luma = shown_luma(cells);
        double texture = 0;
        for (int col = 0; col < DISPLAY_COLS; col++) {
            double mean = 0, square = 0;
            for (int y = 0; y < 150; y++)
                for (int x = 3 * col; x < 3 * col + 3; x++)
                    mean += luma[y * 240 + x] / 450, square += luma[y * 240 + x] * luma[y * 240 + x] / 450;
            texture += (square - mean * mean) / (double)DISPLAY_COLS;
        }
        EXPECT_LT(texture, 40.0) << f[0] << "," << f[1] << "," << f[2];
    }
}

// Soft radial fields (purple, warm, sky) change by at most about 6 luma from one cell to the next, so a
// jump of more than 24 between neighbouring cells' shown lumas is an edge the picture does not have.
// Colours picked each on its own give over 850 of them on these three fields; picked to step evenly
// from their neighbouring colours, about 650.
TEST_F(SmoothTest, SoftFieldsShowFewFalseEdges)
{
    const int fields[][2][3] = {
        {{224, 176, 240}, {48, 16, 64}},   // radial purple: centre, rim
        {{255, 216, 160}, {80, 32, 8}},    // warm vignette
        {{200, 224, 248}, {32, 80, 176}},  // sky
    };
    std::vector<uint32_t> px(240 * 150);
    static DisplayCell cells[DISPLAY_CELLS];
    int jumps = 0;
    for (const auto& f : fields) {
        for (int y = 0; y < 150; y++)
            for (int x = 0; x < 240; x++) {
                double r = std::min(1.0, hypot((x / 3 - 39.5) / 40, (y / 3 - 24.5) / 25) / 1.2);
                int c[3];
                for (int k = 0; k < 3; k++)
                    c[k] = (int)(f[0][k] + (f[1][k] - f[0][k]) * r);
                px[y * 240 + x] = (uint32_t)c[0] | (uint32_t)c[1] << 8 | (uint32_t)c[2] << 16;
            }
        convert_screen(px.data(), cells);
        std::vector<double> luma = shown_luma(cells);
        // Mean shown luma of each cell, compared with its right and lower neighbours.
        double cell[DISPLAY_ROWS][DISPLAY_COLS] = {};
        for (int y = 0; y < 150; y++)
            for (int x = 0; x < 240; x++)
                cell[y / 3][x / 3] += luma[y * 240 + x] / 9;
        for (int row = 0; row < DISPLAY_ROWS; row++)
            for (int col = 0; col < DISPLAY_COLS; col++) {
                if (col + 1 < DISPLAY_COLS && fabs(cell[row][col + 1] - cell[row][col]) > 24)
                    jumps++;
                if (row + 1 < DISPLAY_ROWS && fabs(cell[row + 1][col] - cell[row][col]) > 24)
                    jumps++;
            }
    }
    EXPECT_LT(jumps, 750);
}

}  // namespace
