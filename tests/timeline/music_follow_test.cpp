// music_follow_test.cpp -- the live mode's music on the demo time: jumps with fades, pauses in silence, drift set right
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "timeline/music_local.h"

namespace {

// A music whose left sample at frame n is n % 10000 + 1000 (never 0) and whose right is -left, so
// every sample tells where it was read.
struct Fake {
    int64_t at = 0;      // the next frame read
    int seeks = 0;
};
Fake fake;

int16_t sample_at(int64_t frame) { return (int16_t)(frame % 10000 + 1000); }

int fake_read(int16_t* out, int frames)
{
    for (int i = 0; i < frames; i++) {
        out[2 * i] = sample_at(fake.at + i);
        out[2 * i + 1] = (int16_t)-sample_at(fake.at + i);
    }
    fake.at += frames;
    return frames;
}

void fake_seek(int64_t frame)
{
    fake.at = frame;
    fake.seeks++;
}

const MusicSource SOURCE = {fake_read, fake_seek};
const int MIX = 441;    // frames of one mix: 10 ms
const int FADE = MUSIC_FOLLOW_FADE_FRAMES;

struct MusicFollowTest : ::testing::Test {
    std::vector<int16_t> out = std::vector<int16_t>(2 * MIX);
    void SetUp() override
    {
        music_follow_state = MusicFollow{};
        fake = Fake{};
    }
    void TearDown() override { music_follow_state = MusicFollow{}; }
    void mix(uint32_t now) { music_follow_mix(&SOURCE, out.data(), MIX, now); }
};

// Frame 1000 ms is 44100; a fade in scales the sample at i of 128 by i / 128, a fade out by (128 - i) / 128.
TEST_F(MusicFollowTest, StartsAtTheDemoTimeAndPlaysOnWithTheClock)
{
    music_follow_set(1000, 5000, 0);
    mix(5000);
    for (int i = 0; i < MIX; i++) {
        int whole = sample_at(44100 + i);
        EXPECT_EQ(out[2 * i], i < FADE ? whole * i / FADE : whole) << i;
        EXPECT_EQ(out[2 * i + 1], i < FADE ? -whole * i / FADE : -whole) << i;
    }
    // 10 ms later on the clock, the next 441 frames follow on without a move.
    music_follow_set(1010, 5010, 0);
    mix(5010);
    EXPECT_EQ(fake.seeks, 1);
    for (int i = 0; i < MIX; i++)
        ASSERT_EQ(out[2 * i], sample_at(44541 + i)) << i;
}

TEST_F(MusicFollowTest, AJumpFadesTheOldSoundOutAndTheNewIn)
{
    music_follow_set(1000, 5000, 0);
    mix(5000);
    mix(5010);
    // The loop wraps: demo time 3000 at clock 5020, which the clock does not lead to from 1000 at 5000.
    music_follow_set(3000, 5020, 0);
    mix(5023);  // the device asks 3 ms after the frame
    EXPECT_EQ(fake.seeks, 2);
    for (int i = 0; i < FADE; i++)
        ASSERT_EQ(out[2 * i], sample_at(44982 + i) * (FADE - i) / FADE) << i;
    // 3003 ms is frame 132432; what follows the fade out is heard from there on.
    for (int i = FADE; i < MIX; i++) {
        int whole = sample_at(132432 + i);
        ASSERT_EQ(out[2 * i], i < 2 * FADE ? whole * (i - FADE) / FADE : whole) << i;
    }
}

TEST_F(MusicFollowTest, APauseFadesOutThenStopsTheMixAndTheResumeStartsAtTheTime)
{
    music_follow_set(1000, 5000, 0);
    mix(5000);
    music_follow_set(1010, 5010, 1);
    mix(5010);
    for (int i = 0; i < FADE; i++)
        ASSERT_EQ(out[2 * i], sample_at(44541 + i) * (FADE - i) / FADE) << i;
    for (int i = FADE; i < MIX; i++)
        ASSERT_EQ(out[2 * i], 0) << i;
    int64_t held = fake.at;
    for (uint32_t now = 5020; now < 6000; now += 10) {
        music_follow_set(1010, now, 1);
        mix(now);
        for (int16_t s : out)
            ASSERT_EQ(s, 0);
    }
    EXPECT_EQ(fake.at, held);  // nothing read while paused
    music_follow_set(1010, 6000, 0);
    mix(6000);
    EXPECT_EQ(out[2 * (MIX - 1)], sample_at(44541 + MIX - 1));  // 1010 ms is frame 44541
    EXPECT_EQ(out[0], 0);                                         // faded in from silence
}

// A device whose clock runs 10 % slow: the music falls behind the demo time until the median
// offset over a window passes the slack, then moves to it; it never falls further behind than the
// slack and two windows of the drift (1 ms a mix).
TEST_F(MusicFollowTest, DriftIsSetRightWithinTheSlack)
{
    music_follow_set(0, 1000, 0);
    uint32_t clock_us = 1000000;
    int worst_behind = 0;
    for (int n = 0; n < 400; n++) {
        uint32_t now = clock_us / 1000;
        music_follow_set((int)(now - 1000), now, 0);
        mix(now);
        // Where the music is against the demo time at this mix's end, in frames.
        int64_t demo_frames = (int64_t)(now - 1000) * 441 / 10 + MIX;
        int behind = (int)(demo_frames - fake.at);
        if (behind > worst_behind)
            worst_behind = behind;
        clock_us += 11000;  // 441 frames take 11 ms of the clock
    }
    EXPECT_GT(music_follow_state.corrections, 10);
    EXPECT_LE(worst_behind, (MUSIC_FOLLOW_SLACK_MS + 2 * MUSIC_FOLLOW_WINDOW) * 441 / 10);
    EXPECT_GT(worst_behind, MUSIC_FOLLOW_SLACK_MS * 441 / 10);
}

}  // namespace
