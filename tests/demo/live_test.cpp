// live_test.cpp -- the live mode: a timeline taken up between frames, a bad one left standing, the loop and bar arithmetic
#include <gtest/gtest.h>

#include <string>

#include "demo/demo.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "timeline/timeline.h"

namespace {

// The show's tracks point at one constant track each (scene 3) until the live mode takes them.
struct LiveTest : ::testing::Test {
    SyncKey keys[SHOW_TRACKS][1] = {};
    SyncTrack tracks[SHOW_TRACKS] = {};
    SyncTrack* saved[SHOW_TRACKS];
    uint32_t saved_start;

    void SetUp() override
    {
        music_use_audio(&audio_null_driver);
        for (int i = 0; i < SHOW_TRACKS; i++) {
            saved[i] = show_tracks[i];
            keys[i][0] = {0, i == TRACK_SCENE ? 3.0f : -1.0f, 0};
            tracks[i].keys = keys[i];
            tracks[i].key_count = 1;
            show_tracks[i] = &tracks[i];
        }
        saved_start = start_tick;
        clock_use_manual(1);
        clock_set(100000);
        start_tick = 100000 - 12000;  // demo time 12 s
    }
    void TearDown() override
    {
        for (int i = 0; i < SHOW_TRACKS; i++)
            show_tracks[i] = saved[i];
        start_tick = saved_start;
        clock_use_manual(0);
        display_set_text(DISPLAY_TEXT_TOP, nullptr, 0);
        display_set_text(DISPLAY_TEXT_BOTTOM, nullptr, 0);
        music_use_audio(&audio_null_driver);
    }
    static float scene_at(int t) { return sync_get_value(show_tracks[TRACK_SCENE], (float)t * 0.004f); }
    static std::string bottom_line() { return display_text()->line[DISPLAY_TEXT_BOTTOM]; }
};

const char* GOOD = "tempo 120\ntrack scene\n1:1 1\n6:1 4 # bar 6 is 10 s\n8:1 5\ntrack part\n0 2\n";

TEST_F(LiveTest, ATimelineTakenUpBetweenTwoFramesKeepsTheDemoTime)
{
    EXPECT_EQ(live_frame_time(clock_ticks()), 12000);
    EXPECT_EQ(scene_at(12000), 3.0f);
    ASSERT_EQ(live_apply_timeline(GOOD, strlen(GOOD), "c/timeline.txt"), 1);
    EXPECT_EQ(live_status(), std::string(""));
    clock_advance(17);
    EXPECT_EQ(live_frame_time(clock_ticks()), 12017);
    EXPECT_EQ(scene_at(12017), 4.0f);
    EXPECT_EQ(sync_get_value(show_tracks[TRACK_PART], 48.0), 2.0f);
    EXPECT_EQ(sync_get_value(show_tracks[TRACK_GREET], 48.0), 0.0f);  // not given: 0 everywhere
    // The next good save goes into the other bank while the first still plays.
    const SyncTrack* playing = show_tracks[TRACK_SCENE];
    const char* again = "track scene\n0 2\n";
    ASSERT_EQ(live_apply_timeline(again, strlen(again), "c/timeline.txt"), 1);
    EXPECT_NE(show_tracks[TRACK_SCENE], playing);
    EXPECT_EQ(scene_at(12017), 2.0f);
    EXPECT_EQ(playing->keys[1].value, 4.0f);  // the bank it left is untouched until the next save
}

TEST_F(LiveTest, ABadSaveKeepsTheTracksThatPlayedAndRaisesTheStatusLine)
{
    ASSERT_EQ(live_apply_timeline(GOOD, strlen(GOOD), "c/timeline.txt"), 1);
    const SyncTrack* playing = show_tracks[TRACK_SCENE];
    const char* bad = "tempo 120\ntrack scene\n1:1 1\n6:1 x\nnonsense\n";
    EXPECT_EQ(live_apply_timeline(bad, strlen(bad), "c/timeline.txt"), 0);
    EXPECT_EQ(show_tracks[TRACK_SCENE], playing);
    EXPECT_EQ(scene_at(12000), 4.0f);
    EXPECT_EQ(live_status(), std::string("c/timeline.txt:4: bad number 'x' for the value (and 1 more)"));
    live_frame_time(clock_ticks());
    EXPECT_EQ(bottom_line(), live_status());
    EXPECT_EQ(display_text()->attr[DISPLAY_TEXT_BOTTOM], 0x4F);
    // Drawn over the picture by a display that shows glyphs: the last row of cells.
    DisplayCell cells[DISPLAY_CELLS] = {};
    display_stamp_text(cells);
    EXPECT_EQ(cells[(DISPLAY_ROWS - 1) * DISPLAY_COLS].ch, 'c');
    EXPECT_EQ(cells[(DISPLAY_ROWS - 1) * DISPLAY_COLS + 14].ch, ':');
    // The next good save takes the line away.
    ASSERT_EQ(live_apply_timeline(GOOD, strlen(GOOD), "c/timeline.txt"), 1);
    live_frame_time(clock_ticks());
    EXPECT_EQ(bottom_line(), "");
}

TEST_F(LiveTest, HeldAtTheEndASeekPlaysOn)
{
    live_hold_end();
    clock_advance(500);
    EXPECT_EQ(live_frame_time(clock_ticks()), 12000);   // held
    EXPECT_EQ(live_handle_key(KEY_PREFIX, KEY_HOME), 1);
    clock_advance(17);
    EXPECT_EQ(live_frame_time(clock_ticks()), 17);
    // A pause of one's own stays a pause across seeks.
    EXPECT_EQ(live_handle_key(KEY_SPACE, 0), 1);
    EXPECT_EQ(live_handle_key(KEY_PREFIX, KEY_RIGHT), 1);
    clock_advance(100);
    EXPECT_EQ(live_frame_time(clock_ticks()), 1017);
    EXPECT_EQ(live_handle_key(KEY_SPACE, 0), 1);
}

TEST(LiveLoop, WrapsFromItsEndBackByItsLength)
{
    EXPECT_EQ(live_loop_time(5000, -1, 4000), 5000);   // no start: no loop
    EXPECT_EQ(live_loop_time(5000, 4000, 4000), 5000);  // empty
    EXPECT_EQ(live_loop_time(5000, 6000, 4000), 5000);  // end before start
    EXPECT_EQ(live_loop_time(3999, 0, 4000), 3999);
    EXPECT_EQ(live_loop_time(4000, 0, 4000), 0);
    EXPECT_EQ(live_loop_time(52017, 48000, 52000), 48017);
    EXPECT_EQ(live_loop_time(52000 + 3 * 4000 + 250, 48000, 52000), 48250);  // a seek far past the end
    EXPECT_EQ(live_loop_time(1000, 48000, 52000), 1000);    // before the loop it plays on into it
    EXPECT_EQ(live_loop_time(0x7fffffff, 0, 3), 0x7fffffff % 3);
}

TEST(LiveBars, UpGoesToTheNextBarLineAndDownToTheLastOne)
{
    // 120 BPM, 4 beats: a bar is 2000 ms.
    EXPECT_EQ(live_bar_step(0, 1, 120, 4, 0), 2000);
    EXPECT_EQ(live_bar_step(1999, 1, 120, 4, 0), 2000);
    EXPECT_EQ(live_bar_step(2000, 1, 120, 4, 0), 4000);
    EXPECT_EQ(live_bar_step(2300, -1, 120, 4, 0), 2000);
    EXPECT_EQ(live_bar_step(2000, -1, 120, 4, 0), 0);   // from a line, the one before
    EXPECT_EQ(live_bar_step(2200, -1, 120, 4, 0), 0);   // and from just past it
    EXPECT_EQ(live_bar_step(100, -1, 120, 4, 0), 0);    // never below 0
    // 90 BPM in 3 with bar 1 at 0.5 s: bars of 2000 ms from 500 on.
    EXPECT_EQ(live_bar_step(600, 1, 90, 3, 0.5), 2500);
    EXPECT_EQ(live_bar_step(2500, -1, 90, 3, 0.5), 500);
    // 140 BPM: bars of 1714.29 ms fall between milliseconds; steps neither stick nor skip.
    EXPECT_EQ(live_bar_step(0, 1, 140, 4, 0), 1714);
    EXPECT_EQ(live_bar_step(1714, 1, 140, 4, 0), 3429);
    EXPECT_EQ(live_bar_step(3429, -1, 140, 4, 0), 1714);
    // No tempo line: 120 in 4.
    EXPECT_EQ(live_bar_step(0, 1, 0, 4, 0), 2000);
}

}  // namespace
