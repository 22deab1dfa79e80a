// screen_test.cpp -- the Screen's clipping, pen, lines and colour combiners
#include <gtest/gtest.h>

#include <vector>

#include "gfx2d/gfx2d.h"

namespace {

struct ScreenTest : ::testing::Test {
    void SetUp() override
    {
        if (!screen)
            screen_create();
        screen_fill(0);
        set_pen_width(0);
    }
    static std::vector<int> row_hits(int y)
    {
        std::vector<int> xs;
        for (int x = 0; x < SCREEN_W; x++)
            if (screen[y * SCREEN_W + x])
                xs.push_back(x);
        return xs;
    }
};

// Counts plots, so repeated pixels are seen.
std::vector<std::pair<int, int>> plots;
void record(int x, int y, uint32_t) { plots.push_back({x, y}); }

TEST_F(ScreenTest, PutPixelClipsToTheScreen)
{
    put_pixel(239, 149, 7);
    EXPECT_EQ(screen[SCREEN_PIXELS - 1], 7u);
    put_pixel(240, 0, 9);
    put_pixel(0, 150, 9);
    put_pixel(-1, 0, 9);
    put_pixel(0, -1, 9);
    int set = 0;
    for (int i = 0; i < SCREEN_PIXELS; i++)
        set += screen[i] != 0;
    EXPECT_EQ(set, 1);
}

TEST_F(ScreenTest, PenWidthChoosesPixelsOrDiscs)
{
    set_pen_width(1);
    EXPECT_EQ(plot, &put_pixel);
    set_pen_width(2);
    EXPECT_EQ(plot, &put_disc);
    put_disc(10, 10, 1);  // width 2: the centre only
    EXPECT_EQ(row_hits(10), std::vector<int>({10}));
    EXPECT_TRUE(row_hits(9).empty());
    screen_fill(0);
    set_pen_width(5);  // widths 4 and 5: a 3 x 3 square
    put_disc(10, 10, 1);
    for (int y = 8; y <= 12; y++)
        EXPECT_EQ(row_hits(y), (y >= 9 && y <= 11) ? std::vector<int>({9, 10, 11}) : std::vector<int>()) << y;
    screen_fill(0);
    set_pen_width(8);  // h = 4: reaches 3 pixels from the centre, symmetric
    put_disc(20, 20, 1);
    EXPECT_EQ(row_hits(20).front(), 17);
    EXPECT_EQ(row_hits(20).back(), 23);
    EXPECT_TRUE(row_hits(16).empty());
    EXPECT_TRUE(row_hits(24).empty());
}

TEST_F(ScreenTest, LinesStepBeforePlottingAndRoundDown)
{
    plot = record;
    plots.clear();
    draw_line(0, 0, 10, 0, 1);
    std::vector<std::pair<int, int>> forward;
    for (int x = 0; x <= 9; x++)
        forward.push_back({x, 0});
    forward.push_back({9, 0});
    EXPECT_EQ(plots, forward);

    plots.clear();
    draw_line(10, 0, 0, 0, 1);
    std::vector<std::pair<int, int>> backward;
    for (int x = 9; x >= 0; x--)
        backward.push_back({x, 0});
    backward.push_back({0, 0});
    EXPECT_EQ(plots, backward);

    // Off the top-left the shifts still round down: a truncating division would plot the start.
    plots.clear();
    draw_line(0, 0, -10, 0, 1);
    std::vector<std::pair<int, int>> negative;
    for (int x = -1; x >= -10; x--)
        negative.push_back({x, 0});
    negative.push_back({-10, 0});
    EXPECT_EQ(plots, negative);
    plots.clear();
    draw_line(5, 5, 5, -5, 1);
    EXPECT_EQ(plots.front(), std::make_pair(5, 4));
    EXPECT_EQ(plots.back(), std::make_pair(5, -5));
    EXPECT_EQ(plots.size(), 11u);

    plots.clear();
    draw_line(5, 5, 5, 5, 1);
    EXPECT_EQ(plots, (std::vector<std::pair<int, int>>{{5, 5}}));
    set_pen_width(0);
}

TEST_F(ScreenTest, ColourBuildersPutRedInByteZero)
{
    screen_fill_rgb(0x112, 0x34, 0x56);  // components cut to 8 bits
    EXPECT_EQ(screen[0], 0x00563412u);
    screen_fill(0);
    draw_line_bgr(0, 0, 1, 0, 0x56, 0x34, 0x12);
    EXPECT_EQ(screen[0], 0x00563412u);
    EXPECT_EQ(screen_fill(0xDEADBEEF), 0xDEADBEEFu);
    EXPECT_EQ(screen[SCREEN_PIXELS - 1], 0xDEADBEEFu);
}

TEST(PixelCombiners, AverageAndSaturatingAddWithTheirCarries)
{
    EXPECT_EQ(pixel_average(0xFFFFFFFF, 0xFFFFFFFF), 0xFEFEFEFEu);
    EXPECT_EQ(pixel_average(0x01010101, 0x01010101), 0u);
    EXPECT_EQ(pixel_add_saturate(0x00FFFFFF, 0x00FFFFFF), 0x01FFFFFEu);
    EXPECT_EQ(pixel_add_saturate(0x00000080, 0x00000080), 0x000001FEu);
    EXPECT_EQ(pixel_add_saturate(0x00102030, 0x00010203), 0x00102030u + 0x00000202u);  // halves: 0x08,0x10,0x18 + 0,1,1
    EXPECT_EQ(pixel_add_saturate(0, 0), 0u);
    EXPECT_EQ(pixel_add_saturate(0x80FFFFFF, 0x80FFFFFF), 0x01FFFFFEu);   // byte 3 takes the carry and wraps
}

}  // namespace
