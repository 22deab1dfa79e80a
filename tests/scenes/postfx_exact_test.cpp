// postfx_exact_test.cpp -- the warp with every parameter, the row shift's return step, the end chain's branches
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "assets/assets.h"
#include "assets/random.h"
#include "demo/demo.h"
#include "gfx3d/table_ref.h"
#include "rand_helpers.h"
#include "scenes/scenes.h"

namespace {

struct PostFxExact : ::testing::Test {
    void SetUp() override
    {
        if (!screen)
            screen_create();
        uint32_t s = 77;
        for (int i = 0; i < SCREEN_PIXELS; i++) {
            s = s * 1103515245u + 12345u;
            screen[i] = s;
        }
    }
    static std::vector<uint32_t> copy() { return std::vector<uint32_t>(screen, screen + SCREEN_PIXELS); }
};

TEST_F(PostFxExact, WarpTakesEachParameterInItsPlace)
{
    // Distinct frequencies and amplitudes, so exchanging p1 and p2, p3 and p4, or ux and vy moves pixels.
    const float p1 = 0.07f, p2 = 0.19f, p3 = 5.0f, p4 = -3.0f, p5 = 0.0013f;
    auto before = copy();
    fx_set_time(4321);
    fx_warp(screen, p1, p2, p3, p4, p5);
    float phase = 4321.0f * p5;
    int moved = 0;
    for (int y = 0; y < 150; y++) {
        float vy = (float)y * p2 + phase;
        for (int x = 0; x < 240; x++) {
            float ux = (float)x * p1 + phase;
            float fy = (float)y + ref_table_cos(ux) + p4 * ref_table_cos(vy);
            float fx = (float)x + ref_table_sin(vy) + p3 * ref_table_sin(ux);
            int sy = std::clamp((int)fy, 0, 149), sx = std::clamp((int)fx, 0, 239);
            ASSERT_EQ(screen[y * 240 + x], before[sy * 240 + sx]) << x << ", " << y;
            moved += sy != y || sx != x;
        }
    }
    EXPECT_GT(moved, 30000);
}

TEST_F(PostFxExact, RowShiftReturnStepPullsBackNoFurtherThanTheJump)
{
    // Both odds 1: each row draws return test, return value, jump test, jump value. The return value
    // ((r & 15) - 7) x 2 is held to the jump e when it would overshoot it, and is dropped while e is 0.
    auto before = copy();
    demo_srand(3);
    std::vector<long> start(150);
    long e = 0, n = 0;
    int clipped = 0;
    for (int row = 0; row < 150; row++) {
        demo_rand();
        long f = (long)((float)((demo_rand() & 15) - 7) * 2.0f);
        if (e != 0) {
            if ((e < 0 && f < e) || (e > 0 && f > e))
                f = e, clipped++;
            n -= f;
            e -= f;
        }
        demo_rand();
        e = (long)((float)((demo_rand() & 15) - 7) * 1.5f);
        n += e;
        if (n >= SCREEN_PIXELS)
            n = SCREEN_PIXELS - 1;
        start[row] = n;
        n += 240;
    }
    ASSERT_GT(clipped, 10);
    uint32_t after = rand_state;
    demo_srand(3);
    fx_row_shift(screen, 1.5f, 2.0f, 1, 1);
    EXPECT_EQ(rand_state, after);
    for (int row = 0; row < 150; row++)
        for (int k = 0; k < 240; k++)
            ASSERT_EQ(screen[row * 240 + k], before[std::clamp(start[row] + k, 0L, (long)SCREEN_PIXELS - 1)])
                << row << ", " << k;
}

// The chain written out with the values worked out by hand for each v.
void chain(int noise, bool first_shift, float jump1, bool second_shift, float jump2, int radius, int lo, int hi)
{
    fx_noise(screen, 0, 0, 240, 150, (uint8_t)noise);
    if (first_shift)
        fx_row_shift(screen, jump1, 2.0f, 32, 1);
    fx_fade(screen, 0, 0, 240, 150, (int16_t)lo, (int16_t)hi);
    image_blit_alpha(&overlay_images[2], 0, 0);
    fx_noise(screen, 0, 0, 240, 150, (uint8_t)noise);
    if (second_shift) {
        fx_row_shift(screen, jump2, 0.5f, 8, 1);
        fx_blur(screen, 0, 0, 240, 150, (uint8_t)radius);
    }
    fx_fade(screen, 0, 0, 240, 150, (int16_t)lo, (int16_t)hi);
}

TEST_F(PostFxExact, EndSequenceBranchesAndTheirValues)
{
    struct Case {
        float v;
        int noise;
        bool first;
        float jump1;
        bool second;
        float jump2;
        int radius, lo, hi;
    };
    const float w8 = 0.8f - 0.5f, w1 = 0.99999994f - 0.5f;  // v - 0.5 in single precision
    const Case cases[] = {
        // v = 0.3: b = 38.4, so grain 38, jumps of 0.3 x 16, lo 38, hi trunc(294.4) = 294.
        {0.3f, 38, true, 0.3f * 16.0f, false, 0, 0, 38, 294},
        // v = 0.8: b = 102.4; w = 0.3 gives jumps of w x 8 and a blur of trunc(24.000001) = 24.
        {0.8f, 102, false, 0, true, w8 * 8.0f, 24, 102, 358},
        // Just below 1: b = 127.99999 truncates to 127, but b + 256 rounds to 384 in single
        // precision: hi = lo + 257. The blur radius is trunc(39.999995) = 39.
        {0.99999994f, 127, false, 0, true, w1 * 8.0f, 39, 127, 384},
        // v = 2.5: b = 320, whose low byte 64 is the grain; lo 320, hi 576.
        {2.5f, 64, false, 0, true, 2.0f * 8.0f, 160, 320, 576},
    };
    for (const Case& c : cases) {
        SetUp();
        demo_srand(9);
        chain(c.noise, c.first, c.jump1, c.second, c.jump2, c.radius, c.lo, c.hi);
        auto expected = copy();
        uint32_t state = rand_state;
        SetUp();
        demo_srand(9);
        end_sequence(c.v);
        EXPECT_EQ(rand_state, state) << c.v;
        EXPECT_TRUE(copy() == expected) << c.v;
    }
}

}  // namespace
