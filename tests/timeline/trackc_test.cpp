// trackc_test.cpp -- the timeline text: time forms, error lines, exact round trips through .track bytes
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "timeline_text.h"

namespace {

Timeline parse_ok(const std::string& text)
{
    Timeline t;
    std::vector<std::string> errors;
    EXPECT_TRUE(timeline_parse(text, "t.txt", &t, &errors));
    for (const std::string& e : errors)
        ADD_FAILURE() << e;
    return t;
}

std::string first_error(const std::string& text)
{
    Timeline t;
    std::vector<std::string> errors;
    EXPECT_FALSE(timeline_parse(text, "t.txt", &t, &errors)) << text;
    return errors.empty() ? "" : errors[0];
}

// Every track's bytes, through format and parse and back.
void expect_round_trip(const Timeline& original)
{
    std::string text;
    for (const TimelineTrack& track : original.tracks) {
        std::vector<uint8_t> bytes = timeline_encode_track(track);
        TimelineTrack decoded = {track.name, {}, 0};
        std::string problem;
        size_t trailing;
        ASSERT_TRUE(timeline_decode_track(bytes.data(), bytes.size(), &decoded, &problem, &trailing)) << problem;
        EXPECT_EQ(trailing, 0u);
        text += timeline_format_track(decoded);
    }
    Timeline again = parse_ok(text);
    for (int i = 0; i < TIMELINE_TRACKS; i++)
        EXPECT_EQ(timeline_encode_track(original.tracks[i]), timeline_encode_track(again.tracks[i]))
            << original.tracks[i].name << "\n" << text;
}

TEST(TimelineText, RowsSecondsAndBarsLandOnTheSameRowAxis)
{
    Timeline t = parse_ok(
        "# comment\n"
        "tempo 120 4      # 2 s a bar\n"
        "offset 0.5s\n"
        "track scene\n"
        "  1:1   1\n"        // 0.5 s: row 2
        "  2:3   2  linear\n"// 0.5 + 6 beats x 0.5 s = 3.5 s: row 14
        "  10s   3  smooth\n"// row 40
        "  100  -1  ramp\n"
        "  101  -1  -7\n"
        "tempo 100 3\n"
        "track part\n"
        "  1:2.5 7\n");      // 0.5 + 1.5 x 0.6 s = 1.4 s: row 5.6, rounded to 6
    const std::vector<TimelineKey>& k = t.tracks[0].keys;
    ASSERT_EQ(k.size(), 5u);
    EXPECT_EQ(k[0].row, 2);
    EXPECT_EQ(k[1].row, 14);
    EXPECT_EQ(k[1].type, 1);
    EXPECT_EQ(k[2].row, 40);
    EXPECT_EQ(k[2].type, 2);
    EXPECT_EQ(k[3].value, -1.0f);
    EXPECT_EQ(k[3].type, 3);
    EXPECT_EQ(k[4].type, -7);
    EXPECT_EQ(k[0].type, 0);  // step when not given
    ASSERT_EQ(t.tracks[1].keys.size(), 1u);
    EXPECT_EQ(t.tracks[1].keys[0].row, 6);
    EXPECT_TRUE(t.tracks[5].keys.empty());  // greet not given: no keys
    EXPECT_EQ(t.tracks[5].name, "greet");
}

TEST(TimelineText, ErrorsNameTheLineAndTheProblem)
{
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"track scenery\n", "t.txt:1: unknown track 'scenery'"},
        {"\ntrack scene\n0 1 wobbly\n", "t.txt:3: unknown interpolation 'wobbly'"},
        {"track scene\n0 1\n4 2\n4 3\n", "t.txt:4: rows not increasing in track scene: row 4 comes after row 4 (line 3)"},
        {"track scene\n1s 1\n0.3s 2\n", "t.txt:3: rows not increasing"},  // 0.3 s rounds to row 1 as well
        {"track scene\n0 1.2.3\n", "t.txt:2: bad number '1.2.3'"},
        {"track scene\n0 1e99\n", "t.txt:2: value '1e99' is too large"},
        {"track scene\n0 nan\n", "t.txt:2: value 'nan' is not a finite number"},
        {"track scene\n0 -inf\n", "t.txt:2: value '-inf' is not a finite number"},
        {"track scene\n0 1 128\n", "t.txt:2: unknown interpolation '128'"},
        {"track scene\n0 1 -129\n", "t.txt:2: unknown interpolation '-129'"},
        {"track scene\nx 1\n", "t.txt:2: bad time 'x'"},
        {"track scene\n2.5 1\n", "t.txt:2: row '2.5' must be a whole number"},
        {"track scene\n99999999999 1\n", "t.txt:2: row '99999999999' is out of range"},
        {"track scene\n1:1 1\n", "t.txt:2: bar:beat time '1:1' needs a tempo line"},
        {"tempo 120\ntrack scene\n0:1 1\n", "t.txt:3: bar:beat time '0:1': bars count from 1"},
        {"tempo 120\ntrack scene\n1:5 1\n", "t.txt:3: bar:beat time '1:5'"},
        {"tempo fast\n", "t.txt:1: a tempo line is"},
        {"offset 3\n", "t.txt:1: an offset line is"},
        {"0 1\n", "t.txt:1: key before any 'track' line"},
        {"track scene\n0\n", "t.txt:2: a key is 'TIME VALUE [INTERPOLATION]', found 1 fields"},
        {"track var\n0 1\ntrack var\n", "t.txt:3: track var is already given at line 1"},
    };
    for (const Case& c : cases) {
        std::string e = first_error(c.text);
        EXPECT_EQ(e.compare(0, strlen(c.expected), c.expected), 0) << "got: " << e << "\nfor: " << c.text;
    }
    // Every problem is reported, not just the first.
    Timeline t;
    std::vector<std::string> errors;
    EXPECT_FALSE(timeline_parse("track scene\n0 x\n1 y\n", "t.txt", &t, &errors));
    EXPECT_EQ(errors.size(), 2u);
}

TEST(TimelineText, ExactValuesAndOddTypesSurviveTheRoundTrip)
{
    Timeline t;
    for (int i = 0; i < TIMELINE_TRACKS; i++)
        t.tracks[i] = {TIMELINE_TRACK_NAMES[i], {}, 0};
    float denormal;
    uint32_t bits = 1;
    memcpy(&denormal, &bits, 4);
    t.tracks[2].keys = {{-20, 0.1f, 0, 0}, {0, -0.0f, 1, 0}, {3, denormal, 2, 0}, {7, 16777217.0f, -128, 0},
                        {8, 2.0f, 4, 0}, {9, 3.4028235e38f, -1, 0}, {10, 5.0f, 127, 0}, {2147483647, 1.0f / 3.0f, 3, 0}};
    expect_round_trip(t);
}

TEST(TimelineText, ShowTimelineRoundTripsAndEndsTheShow)
{
    std::ifstream in(KERV_SOURCE_DIR "/content/timeline.txt");
    ASSERT_TRUE(in.good());
    std::stringstream text;
    text << in.rdbuf();
    Timeline t = parse_ok(text.str());
    expect_round_trip(t);
    ASSERT_FALSE(t.tracks[0].keys.empty());
    ASSERT_FALSE(t.tracks[1].keys.empty());
    EXPECT_EQ(t.tracks[0].keys.back().value, -1.0f);
    EXPECT_EQ(t.tracks[1].keys.back().value, -1.0f);
}

TEST(TimelineTrackFile, DecodeChecksLikeTheShow)
{
    TimelineTrack track = {"x", {}, 0};
    std::string problem;
    size_t trailing;
    uint8_t negative[4] = {0xff, 0xff, 0xff, 0xff};
    EXPECT_FALSE(timeline_decode_track(negative, 4, &track, &problem, &trailing));
    EXPECT_NE(problem.find("negative"), std::string::npos);
    std::vector<uint8_t> two = timeline_encode_track({"x", {{0, 1.0f, 0, 0}, {5, 2.0f, 1, 0}}, 0});
    EXPECT_FALSE(timeline_decode_track(two.data(), two.size() - 1, &track, &problem, &trailing));
    EXPECT_NE(problem.find("truncated"), std::string::npos);
    two.push_back(0);
    two.push_back(0);
    ASSERT_TRUE(timeline_decode_track(two.data(), two.size(), &track, &problem, &trailing));
    EXPECT_EQ(trailing, 2u);
    EXPECT_EQ(timeline_track_name_from_path("build/data/sync_overlay.track"), "overlay");
}

}  // namespace
