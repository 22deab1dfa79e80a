// timeline_text_test.cpp -- the timeline text: time forms, error lines, exact round trips through .track bytes
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "timeline/timeline_text.h"

namespace {

std::unique_ptr<Timeline> new_timeline()
{
    std::unique_ptr<Timeline> t(new Timeline);
    timeline_clear(t.get());
    return t;
}

std::unique_ptr<Timeline> parse(const std::string& text, bool* ok)
{
    std::unique_ptr<Timeline> t = new_timeline();
    *ok = timeline_parse(text.data(), text.size(), "t.txt", t.get());
    return t;
}

std::unique_ptr<Timeline> parse_ok(const std::string& text)
{
    bool ok;
    std::unique_ptr<Timeline> t = parse(text, &ok);
    EXPECT_TRUE(ok);
    for (int i = 0; i < t->error_count && i < TIMELINE_ERRORS_MAX; i++)
        ADD_FAILURE() << t->errors[i];
    return t;
}

std::string first_error(const std::string& text)
{
    bool ok;
    std::unique_ptr<Timeline> t = parse(text, &ok);
    EXPECT_FALSE(ok) << text;
    return t->error_count ? t->errors[0] : "";
}

std::vector<TimelineKey> keys_of(const Timeline& t, int track)
{
    const TimelineKey* k = timeline_track_keys(&t, track);
    return std::vector<TimelineKey>(k, k + t.tracks[track].count);
}

// A timeline of the given keys per track, as a test writes it down.
std::unique_ptr<Timeline> timeline_of(const std::vector<std::vector<TimelineKey>>& tracks)
{
    std::unique_ptr<Timeline> t = new_timeline();
    for (size_t i = 0; i < tracks.size(); i++) {
        t->tracks[i].first = t->key_count;
        t->tracks[i].count = (int)tracks[i].size();
        for (const TimelineKey& k : tracks[i])
            t->keys[t->key_count++] = k;
    }
    return t;
}

std::vector<uint8_t> encode(const Timeline& t, int track)
{
    std::vector<uint8_t> bytes(TRACK_COUNT_BYTES + (size_t)TIMELINE_KEYS_MAX * TRACK_KEY_BYTES);
    bytes.resize(timeline_encode_track(&t, track, bytes.data(), bytes.size()));
    return bytes;
}

std::string format(const Timeline& t, int track)
{
    std::vector<char> text((size_t)TIMELINE_FORMAT_LINE_MAX * (t.tracks[track].count + 2));
    size_t n = timeline_format_track(&t, track, text.data(), text.size());
    return std::string(text.data(), n);
}

// Every track's bytes, through format and parse and back.
void expect_round_trip(const Timeline& original)
{
    std::string text;
    std::unique_ptr<Timeline> decoded = new_timeline();
    for (int i = 0; i < TIMELINE_TRACKS; i++) {
        std::vector<uint8_t> bytes = encode(original, i);
        char problem[TIMELINE_MESSAGE_MAX];
        size_t trailing;
        ASSERT_TRUE(timeline_decode_track(bytes.data(), bytes.size(), decoded.get(), i, problem, sizeof problem,
                                          &trailing))
            << problem;
        EXPECT_EQ(trailing, 0u);
        text += format(*decoded, i);
    }
    std::unique_ptr<Timeline> again = parse_ok(text);
    for (int i = 0; i < TIMELINE_TRACKS; i++)
        EXPECT_EQ(encode(original, i), encode(*again, i)) << original.tracks[i].name << "\n" << text;
}

TEST(TimelineText, RowsSecondsAndBarsLandOnTheSameRowAxis)
{
    std::unique_ptr<Timeline> t = parse_ok(
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
    std::vector<TimelineKey> k = keys_of(*t, 0);
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
    ASSERT_EQ(keys_of(*t, 1).size(), 1u);
    EXPECT_EQ(keys_of(*t, 1)[0].row, 6);
    EXPECT_TRUE(keys_of(*t, 5).empty());  // greet not given: no keys
    EXPECT_STREQ(t->tracks[5].name, "greet");
    // The tempo in force at the end is kept for the live mode's bars.
    EXPECT_EQ(t->bpm, 100.0);
    EXPECT_EQ(t->beats_per_bar, 3);
    EXPECT_EQ(t->offset, 0.5);
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
    bool ok;
    std::unique_ptr<Timeline> t = parse("track scene\n0 x\n1 y\n", &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(t->error_count, 2);
}

TEST(TimelineText, ExactValuesAndOddTypesSurviveTheRoundTrip)
{
    float denormal;
    uint32_t bits = 1;
    memcpy(&denormal, &bits, 4);
    std::unique_ptr<Timeline> t = timeline_of(
        {{}, {}, {{-20, 0.1f, 0, 0}, {0, -0.0f, 1, 0}, {3, denormal, 2, 0}, {7, 16777217.0f, -128, 0},
                  {8, 2.0f, 4, 0}, {9, 3.4028235e38f, -1, 0}, {10, 5.0f, 127, 0}, {2147483647, 1.0f / 3.0f, 3, 0}}});
    expect_round_trip(*t);
}

TEST(TimelineText, ShowTimelineRoundTripsAndEndsTheShow)
{
    std::ifstream in(KERV_SOURCE_DIR "/content/timeline.txt");
    ASSERT_TRUE(in.good());
    std::stringstream text;
    text << in.rdbuf();
    std::unique_ptr<Timeline> t = parse_ok(text.str());
    expect_round_trip(*t);
    ASSERT_FALSE(keys_of(*t, 0).empty());
    ASSERT_FALSE(keys_of(*t, 1).empty());
    EXPECT_EQ(keys_of(*t, 0).back().value, -1.0f);
    EXPECT_EQ(keys_of(*t, 1).back().value, -1.0f);
}

TEST(TimelineTrackFile, DecodeChecksLikeTheShow)
{
    std::unique_ptr<Timeline> t = new_timeline();
    char problem[TIMELINE_MESSAGE_MAX];
    size_t trailing;
    uint8_t negative[4] = {0xff, 0xff, 0xff, 0xff};
    EXPECT_FALSE(timeline_decode_track(negative, 4, t.get(), 0, problem, sizeof problem, &trailing));
    EXPECT_NE(std::string(problem).find("negative"), std::string::npos);
    std::vector<uint8_t> two = encode(*timeline_of({{{0, 1.0f, 0, 0}, {5, 2.0f, 1, 0}}}), 0);
    EXPECT_FALSE(timeline_decode_track(two.data(), two.size() - 1, t.get(), 0, problem, sizeof problem, &trailing));
    EXPECT_NE(std::string(problem).find("truncated"), std::string::npos);
    two.push_back(0);
    two.push_back(0);
    ASSERT_TRUE(timeline_decode_track(two.data(), two.size(), t.get(), 0, problem, sizeof problem, &trailing));
    EXPECT_EQ(trailing, 2u);
    char name[TIMELINE_NAME_MAX];
    timeline_track_name_from_path("build/data/sync_overlay.track", name, sizeof name);
    EXPECT_STREQ(name, "overlay");
}

}  // namespace
