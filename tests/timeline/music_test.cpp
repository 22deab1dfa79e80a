// music_test.cpp -- music playback: names, stream and module seeks, silence without a device or file
#include <gtest/gtest.h>

#include <lame/lame.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "test_temp.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "timeline/timeline.h"

namespace {

// Three seconds of a 440 Hz tone, stereo 44100 Hz, 128 kbit/s.
std::string write_mp3(const char* name)
{
    const int frames = 3 * 44100;
    std::vector<short> pcm(2 * frames);
    for (int i = 0; i < frames; i++)
        pcm[2 * i] = pcm[2 * i + 1] = (short)(8000 * sin(2 * M_PI * 440 * i / 44100.0));
    lame_global_flags* lame = lame_init();
    lame_set_in_samplerate(lame, 44100);
    lame_set_num_channels(lame, 2);
    lame_set_brate(lame, 128);
    lame_set_quality(lame, 7);
    EXPECT_EQ(lame_init_params(lame), 0);
    std::vector<unsigned char> mp3(frames + 8192 + frames / 4);
    int n = lame_encode_buffer_interleaved(lame, pcm.data(), frames, mp3.data(), (int)mp3.size());
    n += lame_encode_flush(lame, mp3.data() + n, (int)mp3.size() - n);
    lame_close(lame);
    std::string path = test_temp_path(name);
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(mp3.data(), 1, (size_t)n, f);
    fclose(f);
    return path;
}

// A four-channel ProTracker module: one looping square-wave sample, four orders of four patterns,
// a note at the start of every pattern.
std::string write_module(const char* name)
{
    std::vector<unsigned char> m(20, 0);
    memcpy(m.data(), "kerv16 test", 11);
    for (int s = 0; s < 31; s++) {
        unsigned char header[30] = {};
        if (s == 0) {
            memcpy(header, "square", 6);
            header[23] = 32;  // length 32 words
            header[25] = 64;  // volume
            header[29] = 32;  // loop length 32 words: the whole sample
        } else {
            header[29] = 1;   // no loop
        }
        m.insert(m.end(), header, header + 30);
    }
    m.push_back(4);    // song length in orders
    m.push_back(127);
    for (int i = 0; i < 128; i++)
        m.push_back(i < 4 ? (unsigned char)i : 0);
    m.insert(m.end(), {'M', '.', 'K', '.'});
    for (int p = 0; p < 4; p++) {
        std::vector<unsigned char> pattern(64 * 4 * 4, 0);
        int period = 428 - 40 * p;
        for (int row = 0; row < 64; row += 16) {
            unsigned char* cell = &pattern[row * 16];
            cell[0] = (unsigned char)(period >> 8);
            cell[1] = (unsigned char)(period & 255);
            cell[2] = 0x10;   // sample 1
        }
        m.insert(m.end(), pattern.begin(), pattern.end());
    }
    for (int i = 0; i < 64; i++)
        m.push_back((unsigned char)(i < 32 ? 100 : -100));
    std::string path = test_temp_path(name);
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(m.data(), 1, m.size(), f);
    fclose(f);
    return path;
}

// Runs the null device for ms milliseconds; returns the peak sample.
int run_null(int ms)
{
    std::vector<int16_t> buf(2 * 441);
    int peak = 0;
    for (int i = 0; i < ms / 10; i++) {
        audio_null_run(buf.data(), 441);
        for (int16_t s : buf)
            peak = std::max(peak, std::abs((int)s));
    }
    return peak;
}

struct MusicTest : ::testing::Test {
    void SetUp() override { music_use_audio(&audio_null_driver); }
    void TearDown() override { music_use_audio(&audio_null_driver); }
};

TEST(MusicName, Mp3ExtensionIsExactAndCaseSensitive)
{
    EXPECT_EQ(music_is_mp3("data/Dremovant - Embers-mastered.mp3"), 1);
    EXPECT_EQ(music_is_mp3("SONG.MP3"), 1);
    EXPECT_EQ(music_is_mp3("song.Mp3"), 0);
    EXPECT_EQ(music_is_mp3("song.mod"), 0);
    EXPECT_EQ(music_is_mp3("mp3"), 0);
    EXPECT_EQ(music_is_mp3(".mp3"), 1);
    EXPECT_EQ(music_is_mp3("data.mp3/song"), 0);
    EXPECT_EQ(music_is_mp3("song.mp3.bak"), 0);
    EXPECT_EQ(music_is_mp3(nullptr), 0);
}

TEST_F(MusicTest, NothingLoadedMeansNothingHappens)
{
    EXPECT_EQ(music_stop(), 1);
    music_seek_back();
    music_seek_forward();
    EXPECT_EQ(music_get_position(), -1);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(music_start("/nonexistent/song.mp3"), 0);
    EXPECT_EQ(music_start("/nonexistent/song.xm"), 0);
    std::string garbage = test_temp_path("garbage.mp3");
    FILE* f = fopen(garbage.c_str(), "wb");
    fputs("this is not an mpeg stream at all", f);
    fclose(f);
    EXPECT_EQ(music_start(garbage.c_str()), 0);
    garbage = test_temp_path("garbage.mod");
    f = fopen(garbage.c_str(), "wb");
    fputs("nor a module", f);
    fclose(f);
    EXPECT_EQ(music_start(garbage.c_str()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(music_get_position(), -1);
    EXPECT_EQ(run_null(100), 0);
}

TEST_F(MusicTest, StreamPlaysAndSeeksBySecondsWithinItsLength)
{
    std::string mp3 = write_mp3("tone.mp3");
    ASSERT_EQ(music_start(mp3.c_str()), 1);
    EXPECT_GT(run_null(500), 4000);
    EXPECT_EQ(music_get_position(), 500);
    music_seek_forward();
    EXPECT_EQ(music_get_position(), 1500);
    music_seek_back();
    music_seek_back();  // to -500: plays from 0
    EXPECT_EQ(music_get_position(), 0);
    EXPECT_GT(run_null(200), 4000);
    EXPECT_EQ(music_get_position(), 200);
    music_seek_forward();
    music_seek_forward();
    EXPECT_EQ(music_get_position(), 2200);
    music_seek_forward();  // past the end: quiet
    EXPECT_EQ(run_null(200), 0);
    int end = music_get_position();
    EXPECT_GE(end, 3000);
    music_seek_back();  // back inside: plays again
    EXPECT_EQ(music_get_position(), end - 1000);
    EXPECT_GT(run_null(200), 4000);
    run_null(1500);  // runs out by itself
    EXPECT_EQ(run_null(100), 0);
    EXPECT_EQ(music_stop(), 1);
    EXPECT_EQ(music_get_position(), -1);
}

TEST_F(MusicTest, ModuleSeeksByOneOrderInsideTheList)
{
    std::string mod = write_module("square.mod");
    ASSERT_EQ(music_start(mod.c_str()), 1);
    EXPECT_GT(run_null(300), 1000);
    EXPECT_EQ(music_get_position(), 0);
    music_seek_back();  // clamped to the first entry
    EXPECT_EQ(music_get_position(), 0);
    music_seek_forward();
    EXPECT_EQ(music_get_position(), 1);
    for (int i = 0; i < 5; i++)
        music_seek_forward();
    EXPECT_EQ(music_get_position(), 3);
    music_seek_back();
    EXPECT_EQ(music_get_position(), 2);
    EXPECT_GT(run_null(100), 1000);
}

TEST_F(MusicTest, SecondStartReplacesTheFirstOnOneDevice)
{
    std::string mod = write_module("first.mod");
    std::string mp3 = write_mp3("second.mp3");
    ASSERT_EQ(music_start(mod.c_str()), 1);
    music_seek_forward();
    run_null(100);
    int64_t clock = audio_null_frames();
    ASSERT_EQ(music_start(mp3.c_str()), 1);
    EXPECT_EQ(music_get_position(), 0);  // the stream's time, not the module's order
    EXPECT_EQ(audio_null_frames(), clock);  // the device was not opened again
    EXPECT_EQ(music_start("/nonexistent.mp3"), 0);
    EXPECT_EQ(music_get_position(), -1);  // a failed start leaves nothing loaded
}

// Runs the null device for ms milliseconds with the hand-set clock keeping pace; returns the peak sample.
int run_null_with_clock(int ms)
{
    std::vector<int16_t> buf(2 * 441);
    int peak = 0;
    for (int i = 0; i < ms / 10; i++) {
        audio_null_run(buf.data(), 441);
        clock_advance(10);
        for (int16_t s : buf)
            peak = std::max(peak, std::abs((int)s));
    }
    return peak;
}

// In the live mode the stream starts at the demo time it is given and a pause stops its mix.
TEST_F(MusicTest, FollowingTheDemoTimeTheStreamStartsThereAndFallsSilentInAPause)
{
    std::string mp3 = write_mp3("follow.mp3");
    ASSERT_EQ(music_start(mp3.c_str()), 1);
    clock_use_manual(1);
    clock_set(10000);
    music_follow(500, 10000, 0);
    EXPECT_GT(run_null_with_clock(100), 4000);
    EXPECT_EQ(music_get_position(), 600);
    music_follow(600, clock_ticks(), 1);
    run_null_with_clock(10);  // the sound fades out
    EXPECT_EQ(run_null_with_clock(500), 0);
    music_follow(600, clock_ticks(), 0);
    EXPECT_GT(run_null_with_clock(100), 4000);
    clock_use_manual(0);
}

// SDL's disk driver writes the mixed output to a file in real time.
struct MusicDiskTest : ::testing::Test {
    std::string raw;
    void SetUp() override
    {
        raw = test_temp_path(std::string("disk_") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".raw");
        remove(raw.c_str());
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
        music_use_audio(&audio_sdl_driver);
    }
    void TearDown() override { music_use_audio(&audio_null_driver); }
    // The peak of the 16-bit samples written so far (the device is closed first).
    int peak_written()
    {
        music_use_audio(&audio_null_driver);
        FILE* f = fopen(raw.c_str(), "rb");
        if (!f)
            return -1;
        int peak = 0;
        int16_t s;
        while (fread(&s, 2, 1, f) == 1)
            peak = std::max(peak, std::abs((int)s));
        fclose(f);
        return peak;
    }
};

TEST_F(MusicDiskTest, StreamIsAudibleAndSeeksOneSecond)
{
    std::string mp3 = write_mp3("disk.mp3");
    ASSERT_EQ(music_start(mp3.c_str()), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int before = music_get_position();
    music_seek_forward();
    int after = music_get_position();
    // The device may take one more buffer between the two reads.
    EXPECT_GE(after - before, 1000);
    EXPECT_LE(after - before, 1000 + 2 * AUDIO_DEVICE_FRAMES * 1000 / AUDIO_RATE);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_GT(peak_written(), 4000);
}

TEST_F(MusicDiskTest, ModuleSeeksOneOrder)
{
    std::string mod = write_module("disk.mod");
    ASSERT_EQ(music_start(mod.c_str()), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    int before = music_get_position();
    music_seek_forward();
    EXPECT_EQ(music_get_position(), before + 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_GT(peak_written(), 1000);
}

TEST_F(MusicDiskTest, NoDeviceReturnsZeroQuietlyAndTriesAgain)
{
    std::string mp3 = write_mp3("nodevice.mp3");
    music_use_audio(&audio_null_driver);
    setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
    music_use_audio(&audio_sdl_driver);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(music_start(mp3.c_str()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    music_seek_forward();
    EXPECT_EQ(music_get_position(), -1);
    setenv("SDL_AUDIODRIVER", "disk", 1);  // a device appears: the next start opens it
    EXPECT_EQ(music_start(mp3.c_str()), 1);
    EXPECT_EQ(music_stop(), 1);
}

}  // namespace
