// postfx_test.cpp -- grain, fade, blur, row shift, warp and the end chain on the Screen
#include <gtest/gtest.h>

#include "rand_helpers.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "assets/assets.h"
#include "assets/random.h"
#include "scenes/scenes.h"

namespace {

struct PostFx : ::testing::Test {
    void SetUp() override
    {
        if (!screen)
            screen_create();
        screen_fill(0);
    }
    static std::vector<uint32_t> copy() { return std::vector<uint32_t>(screen, screen + SCREEN_PIXELS); }
    static void pattern()
    {
        uint32_t s = 99;
        for (int i = 0; i < SCREEN_PIXELS; i++) {
            s = s * 1103515245u + 12345u;
            screen[i] = s;
        }
    }
    static uint32_t& at(int x, int y) { return screen[y * SCREEN_W + x]; }
};

TEST_F(PostFx, NoiseAmountOneKeepsPictureButDrawsPerPixel)
{
    pattern();
    auto before = copy();
    demo_srand(7);
    fx_noise(screen, 0, 0, 240, 150, 1);
    EXPECT_EQ(copy(), before);
    EXPECT_EQ(rand_state, state_after(7, SCREEN_PIXELS));

    demo_srand(7);
    fx_noise(screen, 0, 0, 240, 150, 0);  // nothing at all
    EXPECT_EQ(rand_state, 7u);
    fx_noise(screen, -20, -5, 10, 400, 3);  // clamped to 10 x 150
    EXPECT_EQ(rand_state, state_after(7, 1500));
}

TEST_F(PostFx, NoiseOffsetsAllThreeBytesAlikeAndKeepsTheFourth)
{
    screen_fill(0xAB808080u);
    fx_noise(screen, 0, 0, 240, 150, 255);
    int lowest = 0, highest = 0;
    for (int i = 0; i < SCREEN_PIXELS; i++) {
        uint32_t c = screen[i];
        ASSERT_EQ(c >> 24, 0xABu);
        ASSERT_EQ(c & 255, c >> 8 & 255);
        ASSERT_EQ(c & 255, c >> 16 & 255);
        int d = (int)(c & 255) - 128;
        lowest = std::min(lowest, d), highest = std::max(highest, d);
    }
    EXPECT_EQ(lowest, -127);
    EXPECT_EQ(highest, 127);

    // Every amount: the grain of each pixel is its own draw modulo the amount, less half the amount.
    for (int a = 1; a < 256; a++) {
        screen_fill(0x00808080u);
        demo_srand((uint32_t)a * 7919u);
        std::vector<int> want;
        for (int k = 0; k < 1600; k++)
            want.push_back(128 + demo_rand() % a - a / 2);
        demo_srand((uint32_t)a * 7919u);
        fx_noise(screen, 100, 50, 140, 90, (uint8_t)a);
        for (int k = 0; k < 1600; k++)
            ASSERT_EQ(at(100 + k % 40, 50 + k / 40), (uint32_t)want[k] * 0x010101u) << a << " " << k;
    }

    screen_fill(0x00FA0005u);  // clamps at both ends
    demo_srand(3);
    int d = demo_rand() % 200 - 100;
    demo_srand(3);
    fx_noise(screen, 0, 0, 1, 1, 200);
    uint32_t c = screen[0];
    EXPECT_EQ((int)(c & 255), std::clamp(5 + d, 0, 255));
    EXPECT_EQ((int)(c >> 16 & 255), std::clamp(250 + d, 0, 255));
}

TEST_F(PostFx, FadeShiftsLevelsAndKeepsTheFourthByte)
{
    pattern();
    auto before = copy();
    fx_fade(screen, 0, 0, 240, 150, 0, 256);
    EXPECT_EQ(copy(), before);
    fx_fade(screen, 0, 0, 240, 150, 5, 5);  // no gain: left alone
    EXPECT_EQ(copy(), before);

    screen_fill(0x7F80FF7Fu);
    fx_fade(screen, 0, 0, 240, 150, 128, 384);
    EXPECT_EQ(screen[0], 0x7F007F00u);
    screen_fill(0x00402010u);
    fx_fade(screen, 0, 0, 240, 150, 0, 128);  // gain 2
    EXPECT_EQ(screen[0], 0x00804020u);
    fx_fade(screen, 239, 149, 500, 500, 0, 128);
    EXPECT_EQ(screen[SCREEN_PIXELS - 1], 0x00FF8040u);
    EXPECT_EQ(screen[SCREEN_PIXELS - 2], 0x00804020u);
}

TEST_F(PostFx, BlurRadiusOneOnABrightPixel)
{
    at(100, 70) = 0x11FFFFFFu;
    fx_blur(screen, 0, 70, 240, 71, 1);  // one row: only the horizontal pass counts
    EXPECT_EQ(at(99, 70), 0x00555555u);
    EXPECT_EQ(at(100, 70), 0x11555555u);
    EXPECT_EQ(at(101, 70), 0x00555555u);
    EXPECT_EQ(at(102, 70), 0u);

    screen_fill(0);
    at(100, 70) = 0xFFu;
    fx_blur(screen, 0, 0, 240, 150, 1);
    for (int y = 68; y <= 72; y++)
        for (int x = 98; x <= 102; x++)
            EXPECT_EQ(at(x, y), (abs(x - 100) <= 1 && abs(y - 70) <= 1) ? 28u : 0u) << x << "," << y;
}

TEST_F(PostFx, BlurMatchesWindowSumsAndNeverDarkensEdges)
{
    const int x0 = 3, y0 = 2, x1 = 91, y1 = 140;
    for (int r : {1, 4, 40, 200}) {
        pattern();
        auto src = copy();
        fx_blur(screen, x0, y0, x1, y1, (uint8_t)r);
        // Reference: each window summed afresh, horizontal then vertical.
        std::vector<uint32_t> ref = src;
        for (int pass = 0; pass < 2; pass++) {
            std::vector<uint32_t> in = ref;
            for (int y = y0; y < y1; y++)
                for (int x = x0; x < x1; x++) {
                    int s[3] = {0, 0, 0}, n = 0;
                    for (int k = -r; k <= r; k++) {
                        int sx = pass ? x : x + k, sy = pass ? y + k : y;
                        if (sx < x0 || sx >= x1 || sy < y0 || sy >= y1)
                            continue;
                        uint32_t c = in[sy * SCREEN_W + sx];
                        s[0] += c & 255, s[1] += c >> 8 & 255, s[2] += c >> 16 & 255, n++;
                    }
                    uint32_t& c = ref[y * SCREEN_W + x];
                    c = (c & 0xFF000000u) | (uint32_t)(s[2] / n) << 16 | (uint32_t)(s[1] / n) << 8 |
                        (uint32_t)(s[0] / n);
                }
        }
        ASSERT_EQ(copy(), ref) << "radius " << r;
    }

    // Flat colour stays flat even with a window far wider than the Screen (no overflow either).
    screen_fill(0x00FFFFFFu);
    fx_blur(screen, -100, -100, 1000, 1000, 255);
    for (int i = 0; i < SCREEN_PIXELS; i++)
        ASSERT_EQ(screen[i], 0x00FFFFFFu);
}

TEST_F(PostFx, RowShiftWithoutJumpScaleNeverMoves)
{
    pattern();
    auto before = copy();
    demo_srand(11);
    fx_row_shift(screen, 0.0f, 2.0f, 1, 1);
    EXPECT_EQ(copy(), before);
    EXPECT_EQ(rand_state, state_after(11, 150 * 4));  // both odds hit on every row
}

TEST_F(PostFx, RowShiftJumpsAccumulateAndWrap)
{
    pattern();
    auto before = copy();
    // Return steps of scale 0 never pull back, so each row's start moves by the sum of the jumps.
    demo_srand(21);
    std::vector<long> start(150);
    long n = 0;
    for (int row = 0; row < 150; row++) {
        demo_rand(), demo_rand();  // return test (odds 1) and its draw
        demo_rand();               // jump test (odds 1)
        n += (demo_rand() & 15) - 7;
        if (n >= SCREEN_PIXELS)
            n = SCREEN_PIXELS - 1;
        start[row] = n;
        n += 240;
    }
    demo_srand(21);
    fx_row_shift(screen, 1.0f, 0.0f, 1, 1);
    for (int row = 0; row < 150; row++)
        for (int k = 0; k < 240; k++) {
            long s = std::clamp(start[row] + k, 0L, (long)SCREEN_PIXELS - 1);
            ASSERT_EQ(screen[row * 240 + k], before[s]) << row << "," << k;
        }
}

TEST_F(PostFx, WarpWithZeroParametersShiftsByTheUnscaledTerms)
{
    pattern();
    auto before = copy();
    fx_set_time(1234);
    fx_warp(screen, 0, 0, 0, 0, 0);  // phase 0: cos 1, sin 0, so every row takes the one below
    for (int y = 0; y < 150; y++)
        for (int x = 0; x < 240; x++)
            ASSERT_EQ(screen[y * 240 + x], before[std::min(y + 1, 149) * 240 + x]);

    pattern();
    fx_set_time(1000);
    float phase = 1000 * 0.0025f;
    fx_warp(screen, 0, 0, 0, 0, 0.0025f);
    float c = table_cos(phase), s = table_sin(phase);
    for (int y = 0; y < 150; y++)
        for (int x = 0; x < 240; x++) {
            int sy = std::clamp((int)(y + c), 0, 149), sx = std::clamp((int)(x + s), 0, 239);
            ASSERT_EQ(screen[y * 240 + x], before[sy * 240 + sx]);
        }
}

TEST_F(PostFx, EndSequenceAtZeroAndAtOneHalf)
{
    pattern();
    auto before = copy();
    end_sequence(0.0f);  // no grain, jumps of scale 0, fades by 0
    EXPECT_EQ(copy(), before);

    // At one half: grain 64, no row shift, fades with lo 64 and hi 320.
    pattern();
    demo_srand(5);
    fx_noise(screen, 0, 0, 240, 150, 64);
    fx_fade(screen, 0, 0, 240, 150, 64, 320);
    image_blit_alpha(&overlay_images[2], 0, 0);
    fx_noise(screen, 0, 0, 240, 150, 64);
    fx_fade(screen, 0, 0, 240, 150, 64, 320);
    auto expected = copy();
    uint32_t state = rand_state;
    pattern();
    demo_srand(5);
    end_sequence(0.5f);
    EXPECT_EQ(copy(), expected);
    EXPECT_EQ(rand_state, state);
}

}  // namespace
