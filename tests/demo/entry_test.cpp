// entry_test.cpp -- the main loop's keys on the null display, and the program's way through a viewer
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

#include "demo/demo.h"
#include "gfx2d/gfx2d.h"
#include "platform/clock.h"
#include "platform/display.h"

namespace {

struct MainLoopKeys : ::testing::Test {
    void SetUp() override
    {
        display_use(&display_null_driver);
        display_null_reset();
        start_tick = 50000;
    }
    void TearDown() override { display_null_reset(); }
};

TEST_F(MainLoopKeys, EveryKeyReadWritesTheEndFlag)
{
    end_flag = 1;   // as frame composition sets it at the end of the timeline
    display_null_push_key('x');
    demo_handle_key();
    EXPECT_EQ(end_flag, 0);
    display_null_push_key(KEY_ESCAPE);
    demo_handle_key();
    EXPECT_EQ(end_flag, 1);
    display_null_push_key(KEY_PREFIX);
    display_null_push_key(KEY_RIGHT);
    demo_handle_key();
    EXPECT_EQ(end_flag, 0);   // arrows write 0 too
    EXPECT_FALSE(display_key_waiting());
}

TEST_F(MainLoopKeys, PrefixAloneOrWithAnotherKeyDoesNothing)
{
    end_flag = 1;
    display_null_push_key(KEY_PREFIX);
    demo_handle_key();
    EXPECT_EQ(end_flag, 0);
    EXPECT_EQ(start_tick, 50000u);

    // 224 then a key other than an arrow: both are consumed.
    display_null_push_key(KEY_PREFIX);
    display_null_push_key(72);
    display_null_push_key('q');
    demo_handle_key();
    EXPECT_EQ(start_tick, 50000u);
    EXPECT_EQ(display_read_key(), 'q');

    // A second key that arrives after the pass is a key of its own.
    display_null_push_key(KEY_PREFIX);
    demo_handle_key();
    display_null_push_key(KEY_LEFT);
    demo_handle_key();
    EXPECT_EQ(start_tick, 50000u);
}

TEST_F(MainLoopKeys, ArrowsMoveTheStartTickBySeconds)
{
    display_null_push_key(KEY_PREFIX);
    display_null_push_key(KEY_LEFT);
    demo_handle_key();
    EXPECT_EQ(start_tick, 51000u);
    for (int i = 0; i < 3; i++) {
        display_null_push_key(KEY_PREFIX);
        display_null_push_key(KEY_RIGHT);
        demo_handle_key();
    }
    EXPECT_EQ(start_tick, 48000u);

    // Seeking back within the first second gives a negative demo time, forward wraps the tick.
    clock_use_manual(1);
    clock_set(500);
    start_tick = 0;
    display_null_push_key(KEY_PREFIX);
    display_null_push_key(KEY_LEFT);
    demo_handle_key();
    EXPECT_EQ((int)(clock_ticks() - start_tick), -500);
    start_tick = 0;
    display_null_push_key(KEY_PREFIX);
    display_null_push_key(KEY_RIGHT);
    demo_handle_key();
    EXPECT_EQ((int)(clock_ticks() - start_tick), 1500);
    clock_use_manual(0);
}

// The whole program, headless: a picture viewer ended by Escape leaves the key for the main loop,
// which draws one frame, reads it and shuts down. Returns one bit per failed check.
int run_viewer_then_escape(void)
{
    putenv((char*)"SDL_AUDIODRIVER=dummy");
    display_null_reset();
    end_flag = 0;
    display_null_push_key(KEY_ESCAPE);
    char prog[] = "kerv16", opt[] = "--headless", pic[] = "no-such-picture.tga";
    char* argv[] = {prog, opt, pic, nullptr};
    int status = demo_main(3, argv);
    return (status != 0) | (display_null_frames() != 1) << 1 | display_key_waiting() << 2 | (end_flag != 1) << 3;
}

// In a child process, since a run replaces the Screen and loaded state that other tests keep using;
// _exit leaves the replaced Screen to the operating system.
TEST(ProgramEntry, EscapeAfterTheViewerEndsTheShowAfterOneFrame)
{
    EXPECT_EXIT(_exit(run_viewer_then_escape()), ::testing::ExitedWithCode(0), "");
}

TEST(ProgramEntry, OptionsOfOurOwn)
{
    char prog[] = "kerv16", bad[] = "--no-such-option", help[] = "--help";
    char* argv_bad[] = {prog, bad, nullptr};
    char* argv_help[] = {prog, help, nullptr};
    testing::internal::CaptureStderr();
    EXPECT_EQ(demo_main(2, argv_bad), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("unknown option --no-such-option"), std::string::npos);
    testing::internal::CaptureStdout();
    EXPECT_EQ(demo_main(2, argv_help), 0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("--stats"), std::string::npos);
}

}  // namespace
