// ripple_test.cpp -- wave steps (borders, truncation), the catch-up clock, the rain and flash scenes
#include <gtest/gtest.h>

#include "rand_helpers.h"

#include <cstring>
#include <vector>

#include "assets/random.h"
#include "scenes/scenes.h"

namespace {

// A small field on its own buffers; cell (i, j) is element i * height + j.
struct Field {
    std::vector<int32_t> a, b;
    RippleField f;
    Field(int w, int h, int shift, int step) : a(w * h), b(w * h)
    {
        f = RippleField{w, h, a.data(), b.data(), shift, step, 0};
    }
    int32_t& n(int i, int j) { return f.newer[i * f.height + j]; }
    int32_t& o(int i, int j) { return f.older[i * f.height + j]; }
};

int hook_calls;
void count_hook(RippleField*) { hook_calls++; }

TEST(RippleStep, AllZeroFieldStaysZero)
{
    Field z(5, 7, 5, 33);
    for (int k = 0; k < 10; k++)
        ripple_step(&z.f);
    for (int32_t v : z.a)
        EXPECT_EQ(v, 0);
    for (int32_t v : z.b)
        EXPECT_EQ(v, 0);
}

TEST(RippleStep, CornerMirrorsBothAxesAndBuffersSwap)
{
    Field z(4, 6, 5, 33);
    z.n(1, 0) = 100;
    z.o(0, 0) = 7;
    int32_t* written = z.f.older;
    int32_t* read = z.f.newer;
    ripple_step(&z.f);
    EXPECT_EQ(z.f.newer, written);
    EXPECT_EQ(z.f.older, read);
    // (100 + 100 + 0 + 0) / 2 - 7 = 93, less 93 / 32
    EXPECT_EQ(z.n(0, 0), 91);
    // (1, 1) sees the 100 once: 50, less 50 / 32
    EXPECT_EQ(z.n(1, 1), 49);
    // The far corner (3, 5) is untouched by it.
    EXPECT_EQ(z.n(3, 5), 0);
}

TEST(RippleStep, DivisionsTruncateTowardZero)
{
    Field z(3, 3, 5, 33);
    z.o(1, 1) = 3;   // v = -3: -3 / 32 is 0
    z.o(0, 0) = 33;  // v = -33: -33 - (-1)
    z.n(2, 1) = -1;  // a neighbour sum of -1 halves to 0 for (1, 1), not to -1
    ripple_step(&z.f);
    EXPECT_EQ(z.n(1, 1), -3);
    EXPECT_EQ(z.n(0, 0), -32);
    EXPECT_EQ(z.n(2, 0), -1);  // mirror: (2, 1) counts twice, -2 / 2
    EXPECT_EQ(z.n(2, 2), -1);
}

TEST(RippleAdvance, CatchUpRestartAndBackwardSeek)
{
    Field z(4, 4, 5, 33);
    hook_calls = 0;
    ripple_advance(&z.f, 1001, count_hook);  // more than 1000 ms: restart, no steps
    EXPECT_EQ(hook_calls, 0);
    EXPECT_EQ(z.f.last_step, 1001);

    z.f.last_step = 0;
    ripple_advance(&z.f, 1000, count_hook);  // exactly 1000 ms: caught up, 33 * 30 = 990
    EXPECT_EQ(hook_calls, 30);
    EXPECT_EQ(z.f.last_step, 990);

    hook_calls = 0;
    ripple_advance(&z.f, 1023, count_hook);  // 990 + 33 is not below 1023
    EXPECT_EQ(hook_calls, 0);
    ripple_advance(&z.f, 1024, count_hook);
    EXPECT_EQ(hook_calls, 1);

    hook_calls = 0;
    z.f.last_step = 5000;
    ripple_advance(&z.f, 4000, count_hook);  // back by exactly 1000: waits
    ripple_advance(&z.f, 5030, count_hook);
    EXPECT_EQ(hook_calls, 0);
    EXPECT_EQ(z.f.last_step, 5000);
    ripple_advance(&z.f, 5034, count_hook);
    EXPECT_EQ(hook_calls, 1);
    ripple_advance(&z.f, 3999, count_hook);  // back by more than 1000: restarts there
    EXPECT_EQ(z.f.last_step, 3999);
}

struct RainTest : ::testing::Test {
    void SetUp() override
    {
        if (!screen)
            screen_create();
        memset(rain_field.older, 0, sizeof(int32_t) * SCREEN_PIXELS);
        memset(rain_field.newer, 0, sizeof(int32_t) * SCREEN_PIXELS);
    }
};

TEST_F(RainTest, GreyLevelsClampAtBothEnds)
{
    rain_field.last_step = 50000;
    scene_rain(50000);  // no step: the clock has not moved
    rain_field.newer[10 * 150 + 20] = -32;
    rain_field.newer[11 * 150 + 20] = -5000;
    rain_field.newer[12 * 150 + 20] = 31;
    rain_field.newer[13 * 150 + 20] = 5000;
    rain_field.newer[14 * 150 + 20] = 1;
    scene_rain(50000);
    EXPECT_EQ(screen[20 * SCREEN_W + 10], 0u);
    EXPECT_EQ(screen[20 * SCREEN_W + 11], 0u);
    EXPECT_EQ(screen[20 * SCREEN_W + 12], 0xFCFCFCu);
    EXPECT_EQ(screen[20 * SCREEN_W + 13], 0xFCFCFCu);
    EXPECT_EQ(screen[20 * SCREEN_W + 14], 0x848484u);
    EXPECT_EQ(screen[0], 0x808080u);  // rest level
    EXPECT_EQ(screen[SCREEN_PIXELS - 1], 0x808080u);
}

TEST_F(RainTest, DropHookDrawsOddsThenColumnThenRow)
{
    // Find seeds whose first draw hits and misses the one-in-16 odds.
    uint32_t hit = 0, miss = 0;
    for (uint32_t s = 1; !hit || !miss; s++) {
        demo_srand(s);
        ((demo_rand() & 0x78) == 0x78 ? hit : miss) = s;
    }

    demo_srand(miss);
    rain_field.last_step = 60000;
    scene_rain(60034);  // one step
    EXPECT_EQ(rand_state, state_after(miss, 1));
    for (int i = 0; i < SCREEN_PIXELS; i++)
        ASSERT_EQ(rain_field.newer[i], 0);

    demo_srand(hit);
    demo_rand();
    int x = demo_rand() % 240, y = demo_rand() % 150;
    demo_srand(hit);
    scene_rain(60068);
    EXPECT_EQ(rand_state, state_after(hit, 3));
    // The drop went into the old buffer; the step makes it -2048 + 2048 / 32.
    EXPECT_EQ(rain_field.newer[x * 150 + y], -1984);
    EXPECT_EQ(screen[y * SCREEN_W + x], 0u);
    EXPECT_EQ(rain_field.last_step, 60066);
}

TEST(Flash, FillsWithOneDraw)
{
    if (!screen)
        screen_create();
    demo_srand(12345);
    int r = demo_rand();
    demo_srand(12345);
    scene_flash();
    EXPECT_EQ(rand_state, state_after(12345, 1));
    for (int i = 0; i < SCREEN_PIXELS; i++)
        ASSERT_EQ(screen[i], (uint32_t)r);  // low byte, upper 7 bits, then two zero bytes
}

}  // namespace
