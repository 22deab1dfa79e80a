// measure_test.cpp -- the renderer's Screen figures: mean grey and the detail inside each cell's block
#include <gtest/gtest.h>

#include <vector>

#include "measure.h"

namespace {

const int W = 240, H = 150;

std::vector<uint32_t> filled(uint32_t pixel)
{
    return std::vector<uint32_t>(W * H, pixel);
}

uint32_t grey(int g)
{
    return (uint32_t)(g | g << 8 | g << 16);
}

}  // namespace

TEST(ScreenMeasure, GreyIsTheMeanOfTheColourBytesAndIgnoresTheFourth)
{
    ScreenMeasure m = measure_screen(filled(grey(100)).data());
    EXPECT_DOUBLE_EQ(m.mean, 100.0);
    EXPECT_DOUBLE_EQ(m.detail, 0.0);
    EXPECT_DOUBLE_EQ(measure_screen(filled(0x00FF0000).data()).mean, 85.0);  // blue alone: 255 / 3
    EXPECT_DOUBLE_EQ(measure_screen(filled(0x0003090F).data()).mean, 9.0);  // red 15, green 9, blue 3
    EXPECT_DOUBLE_EQ(measure_screen(filled(0xFF000000).data()).mean, 0.0);
}

TEST(ScreenMeasure, OneWhitePixelCountsAgainstItsOwnBlockOnly)
{
    // The block mean is 255 / 9; the white pixel lies 8 x 255 / 9 from it, its eight black
    // neighbours 255 / 9 each: 2 x 8 x 255 / 9 in all, spread over the whole Screen.
    for (int at : {0, 120 + 75 * W, W * H - 1}) {
        std::vector<uint32_t> s = filled(0);
        s[at] = grey(255);
        ScreenMeasure m = measure_screen(s.data());
        EXPECT_NEAR(m.mean, 255.0 / (W * H), 1e-12);
        EXPECT_NEAR(m.detail, 2.0 * 8 * 255 / 9 / (W * H), 1e-12) << at;
    }
}

TEST(ScreenMeasure, BlocksLieOnTheCellGrid)
{
    // Stripes three pixels wide: on the grid each block is flat; one pixel off, each block holds two
    // columns of one value and one of the other, means 85 or 170, mean distance (3 x 170 + 6 x 85) / 9.
    for (int shift : {0, 1}) {
        std::vector<uint32_t> s(W * H);
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++)
                s[y * W + x] = (x + shift) / 3 % 2 ? grey(255) : 0;
        ScreenMeasure m = measure_screen(s.data());
        EXPECT_NEAR(m.detail, shift ? 1020.0 / 9 : 0.0, 1e-9) << shift;
    }
    // Horizontal stripes one pixel high: every block holds rows 0, 255, 0 or 255, 0, 255.
    std::vector<uint32_t> rows(W * H);
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++)
            rows[y * W + x] = y % 2 ? grey(255) : 0;
    EXPECT_NEAR(measure_screen(rows.data()).detail, 1020.0 / 9, 1e-9);
}
