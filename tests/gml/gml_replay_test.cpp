// gml_replay_test.cpp -- the replay's timing, pulse and pen widths on a stepped clock
#include "gml_test_util.h"

#include <cmath>
#include <vector>

#include "gfx2d/gfx2d.h"
#include "platform/clock.h"
#include "platform/display.h"

namespace {

// A display that records what each frame looked like and steps the clock.
struct Frame {
    uint32_t t;
    int pen_width;
    int lit;  // Screen pixels that are not black
};
std::vector<Frame> frames;
uint32_t step_ms;

void stepping_write(const DisplayCell*)
{
    int lit = 0;
    for (int i = 0; i < SCREEN_PIXELS; i++)
        lit += screen[i] != 0;
    frames.push_back({clock_ticks(), pen_width, lit});
    clock_advance(step_ms);
}
const DisplayDriver stepping = {
    .name = "stepping",
    .live = 0,
    .open = nullptr,
    .set_grid = nullptr,
    .write_cells = stepping_write,
    .poll = nullptr,
    .wait = nullptr,
    .stats = nullptr,
    .close = nullptr,
};

struct GmlReplay : ::testing::Test {
    void SetUp() override
    {
        if (!screen)
            screen_create();
        display_use(&stepping);
        clock_use_manual(1);
        clock_set(1000);
        frames.clear();
        gml_width_state = 0;
    }
    void TearDown() override
    {
        display_use(nullptr);
        clock_use_manual(0);
    }
    void replay(const std::string& text, uint32_t step)
    {
        step_ms = step;
        std::string path = gml_temp_file(text);
        gml_replay(path.c_str());
        remove(path.c_str());
    }
};

TEST_F(GmlReplay, EmptyDrawingIsSixteenSecondsOfBlack)
{
    replay("<gml spec=\"1.0\"></gml>", 1000);
    ASSERT_EQ(frames.size(), 16u);
    EXPECT_EQ(frames.front().t, 1000u);
    EXPECT_EQ(frames.back().t, 16000u);
    for (const Frame& f : frames)
        EXPECT_EQ(f.lit, 0);
    EXPECT_EQ(frames[0].pen_width, 4);  // the pulse is 1 at t = 0: p x 4 = 4
}

TEST_F(GmlReplay, MissingFileReplaysAnEmptyDrawing)
{
    step_ms = 4000;
    testing::internal::CaptureStdout();
    gml_replay("/nonexistent/tag.gml");
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(frames.size(), 4u);
    for (const Frame& f : frames)
        EXPECT_EQ(f.lit, 0);
}

TEST_F(GmlReplay, SegmentsStartAtHalfTheirRecordedTime)
{
    // Time 10 starts at 5000 ms; time 32 would start at 16000 ms, after the replay.
    replay("<stroke><pt><x>0.1</x><y>0.5</y><t>10</t></pt><pt><x>0.9</x><y>0.5</y><t>11</t></pt></stroke>"
           "<stroke><pt><x>0.1</x><y>0.2</y><t>32</t></pt><pt><x>0.9</x><y>0.2</y><t>33</t></pt></stroke>",
           500);
    for (const Frame& f : frames)
        EXPECT_EQ(f.lit > 0, f.t - 1000 >= 5000) << f.t;
    EXPECT_EQ(screen[30 * SCREEN_W + 120], 0u);  // the second stroke never came
}

TEST_F(GmlReplay, WidthFollowsSpeedAndCarriesAcrossSegmentsAndFrames)
{
    // Frame at 0 ms: only segment 1 has started (segment 2 starts at 500 ms).
    //   d = 240 x 0.5 = 120 in 1 s: v = 120/50 = 2.4, then 8/2.4 = 3.333; h = 0 + 1.667 -> state 1.
    // Frame at 8000 ms: segment 1 again: h = 0.5 + 1.667 = 2.167 -> state 2;
    //   segment 2: d = 24 in 1 s: v = 0.48 -> 16.7 -> 8; h = 1 + 4 = 5 -> state 5.
    replay("<stroke><pt><x>0</x><y>0.5</y><t>0</t></pt><pt><x>0.5</x><y>0.5</y><t>1</t></pt>"
           "<pt><x>0.5</x><y>0.6</y><t>2</t></pt></stroke>",
           8000);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(gml_width_state, 5);
    // Last segment of the last frame: 5 x half, half = (sin(8000 x 0.002) + 1) / 2.
    float half = (float)((sin(8000.0f * 0.002) + 1) * 0.5);
    EXPECT_EQ(pen_width, (int)(5.0f * half));
}

TEST_F(GmlReplay, ZeroLengthAndZeroDurationSegmentsGiveNoSpeed)
{
    // Equal points at equal times: 0/0 taken as v = 0, so h halves the state each time.
    gml_width_state = 8;
    replay("<stroke><pt><x>0.5</x><y>0.5</y><t>0</t></pt><pt><x>0.5</x><y>0.5</y><t>0</t></pt></stroke>", 16000);
    EXPECT_EQ(gml_width_state, 4);
    EXPECT_GT(frames[0].lit, 0);
}

TEST_F(GmlReplay, HugeCoordinatesAreClippedNotTrusted)
{
    replay("<stroke><pt><x>1e30</x><y>-1e30</y><t>0</t></pt><pt><x>nan</x><y>0.5</y><t>0.5</t></pt></stroke>", 8000);
    EXPECT_EQ(frames.size(), 2u);
}

}  // namespace
