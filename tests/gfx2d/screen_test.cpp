// screen_test.cpp -- the Screen's clipping, pen, lines and colour combiners
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "gfx2d/gfx2d.h"
#include "line_reference.h"

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

// Ends near the Screen, at the ends of the int range, and lines from far away through the Screen.
struct Line {
    int x0, y0, x1, y1;
};
Line random_line(std::mt19937& rng)
{
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto far = [&]() {
        static const int extremes[] = {INT_MIN, INT_MAX, INT_MIN + 1, INT_MAX - 1, 1000000000, -1000000000, 1 << 30};
        return pick(0, 1) ? extremes[pick(0, 6)] : pick(INT_MIN, INT_MAX);
    };
    auto clamp = [](int64_t v) { return (int)std::min<int64_t>(std::max<int64_t>(v, INT_MIN), INT_MAX); };
    int px = pick(-40, SCREEN_W + 40), py = pick(-40, SCREEN_H + 40), fx = far(), fy = far();
    switch (pick(0, 4)) {
    case 0: return {px, py, pick(-40, SCREEN_W + 40), pick(-40, SCREEN_H + 40)};
    case 1: return {px, py, fx, pick(0, 1) ? fy : pick(-500, 500)};
    case 2: return {pick(0, 1) ? fx : pick(-500, 500), fy, px, py};
    case 3: return {fx, fy, clamp(2 * (int64_t)px - fx), clamp(2 * (int64_t)py - fy)};  // through (px, py)
    default: return {pick(-(1 << 14), 1 << 14), pick(-(1 << 14), 1 << 14), pick(-(1 << 14), 1 << 14), px};
    }
}

int pen_reach(int width) { return width / 2 > 1 ? width / 2 - 1 : 0; }
const int REACHES[] = {0, 0, 1, 2, 3, 7, 100};
const int WIDTHS[] = {0, 1, 2, 3, 4, 5, 8, 9, 17, 33};  // the replay's 0 to 8, and wider

TEST_F(ScreenTest, LineStepsNearTheScreenAreOneRunFoundWithoutWalking)
{
    std::mt19937 rng(27);
    for (int i = 0; i < 4000; i++) {
        Line l = random_line(rng);
        int reach = REACHES[i % 7];
        std::vector<LineStep> near = reference_line(l.x0, l.y0, l.x1, l.y1, reach);
        int64_t first = -5, last = -5;
        int found = draw_line_steps(l.x0, l.y0, l.x1, l.y1, reach, &first, &last);
        SCOPED_TRACE(testing::Message() << l.x0 << "," << l.y0 << " -> " << l.x1 << "," << l.y1 << " reach " << reach);
        ASSERT_EQ(found, !near.empty());
        if (near.empty())
            continue;
        EXPECT_EQ(first, near.front().k);
        EXPECT_EQ(last, near.back().k);
        EXPECT_EQ((int64_t)near.size(), last - first + 1);  // no gap: the rule relies on it
    }
}

TEST_F(ScreenTest, LinesDrawWhatThePlainWalkDraws)
{
    std::mt19937 rng(2027);
    std::vector<uint32_t> drawn(SCREEN_PIXELS), walked(SCREEN_PIXELS);
    for (int batch = 0; batch < 40; batch++) {
        std::vector<Line> lines;
        for (int i = 0; i < 50; i++)
            lines.push_back(random_line(rng));
        // One colour per line, so a pixel also shows which line drew it last.
        screen_fill(0);
        for (int i = 0; i < 50; i++) {
            set_pen_width(WIDTHS[(batch + i) % 10]);
            draw_line(lines[i].x0, lines[i].y0, lines[i].x1, lines[i].y1, 0x100 + i);
        }
        drawn.assign(screen, screen + SCREEN_PIXELS);
        screen_fill(0);
        for (int i = 0; i < 50; i++) {
            int width = WIDTHS[(batch + i) % 10];
            set_pen_width(width);
            const Line& l = lines[i];
            int64_t n = std::max(std::llabs((int64_t)l.x1 - l.x0), std::llabs((int64_t)l.y1 - l.y0));
            // Short lines plot every step, off the Screen too; long ones the steps within the pen's reach.
            for (const LineStep& s : reference_line(l.x0, l.y0, l.x1, l.y1, n < (1 << 20) ? -1 : pen_reach(width)))
                width < 2 ? put_pixel(s.x, s.y, 0x100 + i) : put_disc(s.x, s.y, 0x100 + i);
        }
        walked.assign(screen, screen + SCREEN_PIXELS);
        ASSERT_EQ(drawn, walked) << "batch " << batch;
    }
    set_pen_width(0);
}

TEST_F(ScreenTest, WideDiscsStayOnTheScreen)
{
    set_pen_width(1 << 30);  // reaches far beyond the Screen: every pixel, without walking the whole square
    put_disc(100, 70, 5);
    for (int i = 0; i < SCREEN_PIXELS; i++)
        ASSERT_EQ(screen[i], 5u) << i;
    screen_fill(0);
    put_disc(INT_MIN, INT_MAX, 5);  // the centre far off: the disc still reaches 2^29 - 1 around it
    EXPECT_EQ(screen[0], 0u);
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
