// pacing_test.cpp -- frames per second on the hand-set clock: never more than asked, and close to it
#include <gtest/gtest.h>

#include <vector>

#include "demo/demo.h"
#include "platform/clock.h"

namespace {

// Runs the main loop's schedule for `ms` of clock: sleeps while no frame is due, and a frame takes
// `cost` ms. Returns the clock at every frame.
std::vector<uint32_t> run(int fps, uint32_t ms, uint32_t cost, int scene = 1)
{
    clock_use_manual(1);
    clock_set(1000);
    pacing_start(fps, clock_ticks());
    std::vector<uint32_t> frames;
    while (clock_ticks() - 1000 < ms) {
        int wait = pacing_wait_ms(clock_ticks());
        if (wait > 0) {
            clock_sleep((uint32_t)wait);
            continue;
        }
        frames.push_back(clock_ticks());
        clock_advance(cost);
        pacing_frame_done(clock_ticks(), scene);
    }
    clock_use_manual(0);
    return frames;
}

TEST(Pacing, SixtyFramesASecondAreSixteenOrSeventeenMillisecondsApart)
{
    for (uint32_t cost : {0u, 5u, 16u}) {
        std::vector<uint32_t> f = run(60, 5000, cost);
        EXPECT_EQ(f.size(), 300u) << cost;   // 5 s x 60, the first at once
        for (size_t i = 1; i < f.size(); i++) {
            uint32_t d = f[i] - f[i - 1];
            ASSERT_TRUE(d == 16 || d == 17) << i << ": " << d;
        }
        // Every three frames take exactly 50 ms: no drift.
        EXPECT_EQ(f[297] - f[0], 4950u);
    }
    for (int fps : {24, 30, 50, 75, 144}) {
        std::vector<uint32_t> f = run(fps, 5000, 1);
        EXPECT_LE((int)f.size(), fps * 5) << fps;
        EXPECT_GE((int)f.size(), fps * 5 * 95 / 100) << fps;
    }
    EXPECT_EQ(demo_pacing.skipped, 0);
}

TEST(Pacing, SlowFramesAreSkippedNotCaughtUp)
{
    // 40 ms a frame at 60 a second: the loop never sleeps, never bunches frames after a slow one.
    std::vector<uint32_t> f = run(60, 2000, 40);
    EXPECT_EQ(f.size(), 50u);
    for (size_t i = 1; i < f.size(); i++)
        ASSERT_EQ(f[i] - f[i - 1], 40u);
    EXPECT_GT(demo_pacing.skipped, 40);
    EXPECT_EQ(demo_pacing.paced, 0);
}

TEST(Pacing, UnderwaterFramesAreTwentyMillisecondsApart)
{
    std::vector<uint32_t> f = run(60, 1000, 2, PACING_SLOW_SCENE);
    EXPECT_EQ(f.size(), 50u);
    for (size_t i = 1; i < f.size(); i++)
        ASSERT_EQ(f[i] - f[i - 1], 20u);
    // Asked for fewer frames than that, the scene gets what was asked.
    f = run(25, 1000, 2, PACING_SLOW_SCENE);
    EXPECT_EQ(f.size(), 25u);
}

TEST(Pacing, ZeroRunsUnpaced)
{
    pacing_start(0, 123);
    EXPECT_EQ(pacing_wait_ms(123), 0);
    pacing_frame_done(124, 1);
    EXPECT_EQ(pacing_wait_ms(124), 0);
    EXPECT_EQ(demo_pacing.frames, 0);
}

}  // namespace
