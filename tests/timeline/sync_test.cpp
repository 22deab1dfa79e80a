// sync_test.cpp -- keyed tracks: interpolation, key search, the device, and track files good and bad
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "test_temp.h"
#include "timeline/timeline.h"

namespace {

SyncTrack make_track(std::vector<SyncKey>& keys)
{
    SyncTrack t = {};
    t.keys = keys.data();
    t.key_count = (int)keys.size();
    return t;
}

// Writes a track file: count, then each key packed at 9 bytes; `cut` bytes are dropped from the end.
std::string write_track(const char* name, int32_t count, const std::vector<SyncKey>& keys, size_t cut = 0)
{
    std::vector<unsigned char> bytes;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; i++)
            bytes.push_back((unsigned char)(v >> (8 * i)));
    };
    put32((uint32_t)count);
    for (const SyncKey& k : keys) {
        put32((uint32_t)k.row);
        uint32_t bits;
        memcpy(&bits, &k.value, 4);
        put32(bits);
        bytes.push_back((unsigned char)(int8_t)k.type);
    }
    bytes.resize(bytes.size() - cut);
    std::string path = test_temp_path(name);
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    return path;
}

// Devices live for the whole show; tests hand theirs back so leak checks stay quiet.
void free_device(SyncDevice* d)
{
    for (int i = 0; i < d->track_count; i++) {
        free(d->tracks[i]->name);
        free(d->tracks[i]->keys);
        free(d->tracks[i]);
    }
    free(d->tracks);
    free(d->base);
    free(d);
}

TEST(SyncValue, StepThenLinearHoldsFirstValueUntilNextKey)
{
    std::vector<SyncKey> keys = {{0, 1.0f, 0}, {8, 5.0f, 1}};
    SyncTrack t = make_track(keys);
    for (double row : {-3.0, 0.0, 3.5, 7.9})
        EXPECT_EQ(sync_get_value(&t, row), 1.0f) << row;
    for (double row : {8.0, 8.5, 1000.0})
        EXPECT_EQ(sync_get_value(&t, row), 5.0f) << row;
}

TEST(SyncValue, InterpolationsUseTheEarlierKeysTypeAndFractionalRow)
{
    std::vector<SyncKey> keys = {{0, 0.0f, 1}, {10, 10.0f, 0}};
    SyncTrack t = make_track(keys);
    EXPECT_EQ(sync_get_value(&t, 2.5), 2.5f);
    EXPECT_EQ(sync_get_value(&t, 2.75), 2.75f);  // glides between rows
    keys[0].type = 2;
    EXPECT_EQ(sync_get_value(&t, 2.5), 1.5625f);
    keys[0].type = 3;
    EXPECT_EQ(sync_get_value(&t, 2.5), 0.625f);
    keys[0].type = 7;
    EXPECT_EQ(sync_get_value(&t, 2.5), 0.0f);
    keys[0].type = -1;
    EXPECT_EQ(sync_get_value(&t, 2.5), 0.0f);
    EXPECT_EQ(sync_get_value(&t, 10.0), 10.0f);  // the last key is returned whatever its type
}

TEST(SyncValue, ResultIsRoundedToSinglePrecision)
{
    std::vector<SyncKey> keys = {{0, 0.0f, 1}, {3, 1.0f, 0}};
    SyncTrack t = make_track(keys);
    EXPECT_EQ(sync_get_value(&t, 1.0), (float)(1.0 / 3.0));
}

TEST(SyncValue, NegativeRowsAndEmptyTracks)
{
    std::vector<SyncKey> keys = {{-4, -2.0f, 1}, {4, 2.0f, 0}};
    SyncTrack t = make_track(keys);
    EXPECT_EQ(sync_get_value(&t, -10.0), -2.0f);
    EXPECT_EQ(sync_get_value(&t, -0.5), -0.25f);  // floor(-0.5) is row -1, inside the pair
    SyncTrack empty = {};
    EXPECT_EQ(sync_get_value(&empty, 3.0), 0.0f);
    EXPECT_EQ(sync_get_value(nullptr, 3.0), 0.0f);
    EXPECT_EQ(sync_get_value(&t, 1e300), 2.0f);  // far rows clamp instead of overflowing
    EXPECT_EQ(sync_get_value(&t, -1e300), -2.0f);
}

TEST(SyncFindKey, HitsAndInsertionPoints)
{
    std::vector<SyncKey> keys = {{0, 0, 0}, {4, 0, 0}, {9, 0, 0}};
    SyncTrack t = make_track(keys);
    EXPECT_EQ(sync_find_key(&t, 4), 1);
    EXPECT_EQ(sync_find_key(&t, 9), 2);
    EXPECT_EQ(sync_find_key(&t, -1), -1);
    EXPECT_EQ(sync_find_key(&t, 5), -3);
    EXPECT_EQ(sync_find_key(&t, 10), -4);
    SyncTrack empty = {};
    EXPECT_EQ(sync_find_key(&empty, 0), -1);
}

TEST(SyncDeviceTest, TrackRequestedTwiceIsLoadedOnceAndMissingFileGivesNoKeys)
{
    std::string base = test_temp_path("devtest");
    write_track("devtest_a.track", 2, {{0, 1.0f, 1}, {4, 3.0f, 0}});
    SyncDevice* d = sync_create(base.c_str());
    ASSERT_NE(d, nullptr);
    SyncTrack* a = sync_get_track(d, "a");
    ASSERT_EQ(a->key_count, 2);
    EXPECT_EQ(sync_get_value(a, 2.0), 2.0f);
    EXPECT_EQ(sync_get_track(d, "a"), a);
    EXPECT_EQ(d->track_count, 1);
    SyncTrack* missing = sync_get_track(d, "nothere");
    EXPECT_EQ(missing->key_count, 0);
    EXPECT_EQ(sync_get_value(missing, 1.0), 0.0f);
    EXPECT_EQ(sync_find_track(d, "nothere"), 1);
    EXPECT_EQ(sync_find_track(d, "A"), -1);  // names are case-sensitive
    EXPECT_EQ(d->track_count, 2);
    free_device(d);
}

TEST(SyncDeviceTest, PathJoinsBaseAndNameWithinBound)
{
    EXPECT_STREQ(sync_track_path("data/sync", "scene"), "data/sync_scene.track");
    std::string long_name(400, 'x');
    EXPECT_EQ(strlen(sync_track_path("data/sync", long_name.c_str())), 259u);
}

TEST(SyncLoad, ZeroKeysAndTrailingBytes)
{
    SyncTrack t = {};
    EXPECT_EQ(sync_load_track(write_track("zero.track", 0, {}).c_str(), &t), 0);
    EXPECT_EQ(t.key_count, 0);
    EXPECT_EQ(sync_get_value(&t, 5.0), 0.0f);
    // One key announced, two stored: the second is ignored, as a reader of N keys would.
    EXPECT_EQ(sync_load_track(write_track("extra.track", 1, {{2, 7.0f, -3}, {3, 1.0f, 0}}).c_str(), &t), 0);
    ASSERT_EQ(t.key_count, 1);
    EXPECT_EQ(t.keys[0].row, 2);
    EXPECT_EQ(t.keys[0].value, 7.0f);
    EXPECT_EQ(t.keys[0].type, -3);  // the type byte is widened with its sign
    EXPECT_EQ(sync_load_track("/nonexistent/dir/x.track", &t), 1);
    free(t.keys);
}

TEST(SyncLoad, CorruptFilesGiveNoKeysAndOneLine)
{
    std::vector<SyncKey> good = {{0, 1.0f, 1}, {4, 2.0f, 1}, {8, 3.0f, 0}};
    struct Case {
        const char* name;
        int32_t count;
        std::vector<SyncKey> keys;
        size_t cut;
        const char* problem;
    } cases[] = {
        {"neg.track", -5, good, 0, "negative key count"},
        {"huge.track", 0x7fffffff, good, 0, "key count larger"},
        {"cut.track", 3, good, 1, "key count larger"},
        {"short.track", 3, {}, 2, "too short"},
        {"order.track", 3, {{0, 1.0f, 1}, {4, 2.0f, 1}, {4, 3.0f, 0}}, 0, "not strictly increasing"},
        {"back.track", 3, {{0, 1.0f, 1}, {4, 2.0f, 1}, {-2, 3.0f, 0}}, 0, "not strictly increasing"},
        // A value that is not a number would reach the scenes' fixed-point maths.
        {"ninf.track", 3, {{0, 1.0f, 1}, {4, -INFINITY, 1}, {8, 3.0f, 0}}, 0, "value not finite at key (1)"},
        {"pinf.track", 3, {{0, INFINITY, 1}, {4, 2.0f, 1}, {8, 3.0f, 0}}, 0, "value not finite at key (0)"},
        {"nan.track", 3, {{0, 1.0f, 1}, {4, 2.0f, 1}, {8, NAN, 0}}, 0, "value not finite at key (2)"},
    };
    for (const Case& c : cases) {
        std::vector<SyncKey> keys = good;
        SyncTrack t = {};
        ASSERT_EQ(sync_load_track(write_track("ok.track", 3, good).c_str(), &t), 0);
        std::string path = write_track(c.name, c.count, c.keys, c.cut);
        testing::internal::CaptureStderr();
        EXPECT_EQ(sync_load_track(path.c_str(), &t), 2) << c.name;
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(t.key_count, 0) << c.name;
        EXPECT_EQ(t.keys, nullptr) << c.name;
        EXPECT_NE(err.find(path), std::string::npos) << err;
        EXPECT_NE(err.find(c.problem), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
}

// The difference of two such keys is beyond a float; the values between them must stay finite.
TEST(SyncValue, KeysAtOppositeEndsOfTheFloatRangeInterpolate)
{
    std::vector<SyncKey> keys = {{0, 3e38f, 1}, {10, -3e38f, 0}};
    SyncTrack t = make_track(keys);
    EXPECT_EQ(sync_get_value(&t, 0.0), 3e38f);
    EXPECT_EQ(sync_get_value(&t, 5.0), 0.0f);
    EXPECT_EQ(sync_get_value(&t, 2.5), 1.5e38f);
    keys[0].type = 2;
    EXPECT_EQ(sync_get_value(&t, 0.0), 3e38f);
    EXPECT_EQ(sync_get_value(&t, 5.0), 0.0f);
    keys[0].type = 3;
    EXPECT_EQ(sync_get_value(&t, 0.0), 3e38f);
    EXPECT_EQ(sync_get_value(&t, 5.0), 1.5e38f);
}

// A key on the lowest row: rows below the integer range (and NaN) read as that row, not as a
// fraction far outside the pair.
TEST(SyncValue, RowsBelowTheIntegerRangeReadTheFirstKey)
{
    std::vector<SyncKey> keys = {{INT32_MIN, 3e38f, 1}, {10, -3e38f, 0}};
    SyncTrack t = make_track(keys);
    for (double row : {-1e12, -2147483648.5, (double)-INFINITY, (double)NAN, -2147483648.0})
        EXPECT_EQ(sync_get_value(&t, row), 3e38f) << row;
    EXPECT_EQ(sync_get_value(&t, 10.0), -3e38f);
    EXPECT_EQ(sync_get_value(&t, 1e300), -3e38f);
}

// A key of any type but 0..3 holds 0 up to the next key; the first such key of a track is named
// once, and the track plays. Random tracks with every signed byte as a type.
TEST(SyncLoad, AnyTypeOutsideStepToRampHoldsZeroAndIsNamedOnce)
{
    std::mt19937 rng(27);
    for (int type = -128; type <= 127; type++) {
        std::vector<SyncKey> keys;
        int32_t row = (int32_t)(rng() % 200) - 100;
        for (int i = 0; i < 6; i++) {
            keys.push_back({row, (float)((int)(rng() % 2001) - 1000) / 8, (int)(rng() % 256) - 128});
            row += 1 + (int32_t)(rng() % 50);
        }
        keys[rng() % 5].type = type;
        int odd = -1;
        for (int i = 0; i < 6 && odd < 0; i++)
            if (keys[i].type < 0 || keys[i].type > 3)
                odd = i;
        SyncTrack t = {};
        std::string path = write_track("types.track", 6, keys);
        testing::internal::CaptureStderr();
        ASSERT_EQ(sync_load_track(path.c_str(), &t), 0) << type;
        std::string err = testing::internal::GetCapturedStderr();
        ASSERT_EQ(t.key_count, 6);
        if (odd < 0) {
            EXPECT_EQ(err, "");
        } else {
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
            EXPECT_NE(err.find(path), std::string::npos) << err;
            EXPECT_NE(err.find("type " + std::to_string(keys[odd].type) + " at key " + std::to_string(odd)),
                      std::string::npos) << err;
        }
        EXPECT_EQ(sync_get_value(&t, keys[0].row - 3.5), keys[0].value);
        EXPECT_EQ(sync_get_value(&t, keys[5].row + 0.5), keys[5].value);
        for (int i = 0; i < 5; i++)
            for (double f : {0.0, 0.25, 0.5, 0.999}) {
                const SyncKey &k = keys[i], &n = keys[i + 1];
                double x = k.row + f * (n.row - k.row), u = (x - k.row) / (n.row - k.row);
                double delta = n.value - k.value;
                float want = k.type == 0   ? k.value
                             : k.type == 1 ? (float)(k.value + u * delta)
                             : k.type == 2 ? (float)(k.value + u * u * (3 - 2 * u) * delta)
                             : k.type == 3 ? (float)(k.value + u * u * delta)
                                           : 0.0f;
                EXPECT_EQ(sync_get_value(&t, x), want) << "type " << k.type << " at " << x;
            }
        free(t.keys);
    }
}

TEST(SyncLoad, EveryTypeFromStepToRampAndHugeFiniteValuesLoad)
{
    SyncTrack t = {};
    std::vector<SyncKey> keys = {{0, 0.0f, 0}, {1, 3.4e38f, 1}, {2, -3.4e38f, 2}, {3, 1.0f, 3}, {4, 2.0f, -1}};
    EXPECT_EQ(sync_load_track(write_track("types.track", 5, keys).c_str(), &t), 0);
    ASSERT_EQ(t.key_count, 5);
    EXPECT_EQ(t.keys[3].type, 3);
    EXPECT_EQ(t.keys[1].value, 3.4e38f);
    free(t.keys);
}

}  // namespace
