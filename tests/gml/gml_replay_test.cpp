// gml_replay_test.cpp -- the replay's timing, pulse and pen widths on a stepped clock
#include "gml_test_util.h"

#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "gfx2d/gfx2d.h"
#include "gfx2d/line_reference.h"
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
std::vector<uint32_t> kept_times;          // replay times (ms) whose Screens are kept
std::vector<std::vector<uint32_t>> kept;  // those Screens

void stepping_write(const DisplayCell*)
{
    int lit = 0;
    for (int i = 0; i < SCREEN_PIXELS; i++)
        lit += screen[i] != 0;
    frames.push_back({clock_ticks(), pen_width, lit});
    for (uint32_t t : kept_times)
        if (clock_ticks() - 1000 == t)
            kept.emplace_back(screen, screen + SCREEN_PIXELS);
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
    .own_text = 0,
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
        kept_times.clear();
        kept.clear();
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

// About 1 MB: 40 strokes of 500 points wandering over the Screen, each stroke recorded over 25 s, and
// every tenth number 2147483647, 1e9, 1e39, inf or nan, of either sign.
std::string bad_drawing(void)
{
    static const char* const BAD[] = {"2147483647", "1e9", "1e39", "inf", "nan"};
    std::mt19937 rng(27);
    std::uniform_real_distribution<double> wander(-0.012, 0.012), place(0, 1);
    int count = 0;
    auto number = [&](double v) {
        char text[32];
        if (++count % 10 == 0)
            snprintf(text, sizeof text, "%s%s", rng() % 2 ? "-" : "", BAD[count / 10 % 5]);
        else
            snprintf(text, sizeof text, "%.6f", v);
        return std::string(text);
    };
    std::string out = "<gml spec=\"1.0\"><tag><drawing>\n";
    for (int s = 0; s < 40; s++) {
        out += "<stroke>\n";
        double x = place(rng), y = place(rng);
        for (int j = 0; j < 500; j++) {
            x = std::min(1.0, std::max(0.0, x + wander(rng)));
            y = std::min(1.0, std::max(0.0, y + wander(rng)));
            std::string nx = number(x), ny = number(y), nt = number(s * 0.2 + j * 0.05);
            out += "<pt><x>" + nx + "</x><y>" + ny + "</y><t>" + nt + "</t></pt>\n";
        }
        out += "</stroke>\n";
    }
    return out + "</drawing></tag></gml>\n";
}

// Truncated towards zero, the ends of the int range beyond it, 0 for not a number.
int screen_coordinate(float v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483648.0f)
        return INT_MAX;
    if (v <= -2147483648.0f)
        return INT_MIN;
    return (int)v;
}

TEST_F(GmlReplay, DrawingWithNumbersFarOutsideReplaysItsWholeTimeAndDrawsTheirTrueLines)
{
    std::string text = bad_drawing();
    ASSERT_GT(text.size(), 1000000u);
    // Near the pulse's low points every pen width is 0, so each frame is all its segments' one-pixel lines.
    kept_times = {5500, 15000};
    replay(text, 500);
    ASSERT_EQ(frames.size(), 32u);
    EXPECT_EQ(frames.back().t, 16500u);
    ASSERT_EQ(kept.size(), 2u);
    const GmlGraph* graph = gml_parse_text(text);
    ASSERT_EQ(graph->stroke_count, 40);
    for (size_t f = 0; f < kept.size(); f++) {
        float tf = (float)kept_times[f];
        std::vector<uint32_t> expected(SCREEN_PIXELS, 0);
        int far_lines = 0;
        for (int s = 0; s < graph->stroke_count; s++) {
            const GmlStroke* stroke = &graph->strokes[s];
            for (int j = 0; j + 1 < stroke->point_count; j++) {
                if (!(tf >= stroke->times[j] * 500))
                    continue;
                const float *a = stroke->points[j], *b = stroke->points[j + 1];
                int x0 = screen_coordinate(a[0] * 240), y0 = screen_coordinate(a[1] * 150);
                int x1 = screen_coordinate(b[0] * 240), y1 = screen_coordinate(b[1] * 150);
                int64_t n = std::max(std::llabs((int64_t)x1 - x0), std::llabs((int64_t)y1 - y0));
                far_lines += n >= (1 << 20);
                for (const LineStep& p : reference_line(x0, y0, x1, y1, n < (1 << 20) ? -1 : 0))
                    if (p.x >= 0 && p.x < SCREEN_W && p.y >= 0 && p.y < SCREEN_H)
                        expected[p.y * SCREEN_W + p.x] = 0x00C8C8C8;
            }
        }
        EXPECT_GT(far_lines, 500);
        EXPECT_EQ(kept[f], expected) << "frame at " << kept_times[f] << " ms";
    }
}

}  // namespace
