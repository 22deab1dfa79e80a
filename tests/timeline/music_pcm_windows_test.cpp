// music_pcm_windows_test.cpp -- the soundtrack through Windows' MP3 codec, played from memory on the null device
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/audio.h"
#include "platform/mp3.h"
#include "timeline/timeline.h"

namespace {

const char* SOUNDTRACK = "data/Dremovant - Embers-mastered.mp3";

TEST(Mp3Acm, SoundtrackDecodesToAudiblePcmOfItsLength)
{
    Mp3Pcm pcm;
    ASSERT_EQ(mp3_decode_file(SOUNDTRACK, &pcm), 1);
    EXPECT_EQ(pcm.rate, 44100);
    EXPECT_EQ(pcm.channels, 2);
    // The file's own frames say how long it is: 1152 samples each.
    FILE* f = fopen(SOUNDTRACK, "rb");
    ASSERT_NE(f, nullptr);
    std::vector<uint8_t> bytes(64 << 20);
    long size = (long)fread(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    Mp3Header h;
    long at = mp3_find_header(bytes.data(), size, &h);
    long count = 0;
    while (at >= 0 && at + 4 <= size) {
        long next = mp3_find_header(bytes.data() + at, size - at, &h);
        if (next != 0)
            break;
        count++;
        at += h.frame_bytes;
    }
    EXPECT_GT(count * 1152, 150 * 44100);
    EXPECT_NEAR((double)pcm.frames, (double)count * 1152, 2 * 1152.0);
    double sum = 0;
    for (int64_t i = 0; i < pcm.frames * 2; i++)
        sum += (double)pcm.samples[i] * pcm.samples[i];
    EXPECT_GT(std::sqrt(sum / (double)(pcm.frames * 2)), 1000.0);  // well above silence
    mp3_free(&pcm);
    EXPECT_EQ(pcm.samples, nullptr);
}

TEST(Mp3Acm, MissingOrNotMp3FilesDecodeToNothing)
{
    Mp3Pcm pcm;
    EXPECT_EQ(mp3_decode_file("data/no-such-file.mp3", &pcm), 0);
    EXPECT_EQ(pcm.samples, nullptr);
    EXPECT_EQ(mp3_decode_file("data/charmap.lut", &pcm), 0);
    EXPECT_EQ(pcm.frames, 0);
    EXPECT_EQ(mp3_decode_file(nullptr, &pcm), 0);
}

struct MusicPcm : ::testing::Test {
    void SetUp() override { music_use_audio(&audio_null_driver); }
    void TearDown() override { music_use_audio(nullptr); }
};

TEST_F(MusicPcm, PlaysFromMemoryAndSeeksExactly)
{
    ASSERT_EQ(music_start(SOUNDTRACK), 1);
    std::vector<int16_t> out(2 * 44100);
    audio_null_run(out.data(), 44100);
    EXPECT_EQ(music_get_position(), 1000);
    music_seek_forward();
    EXPECT_EQ(music_get_position(), 2000);
    audio_null_run(out.data(), 22050);
    EXPECT_EQ(music_get_position(), 2500);
    music_seek_back();
    music_seek_back();
    EXPECT_EQ(music_get_position(), 500);
    music_seek_back();  // before the start plays from 0
    EXPECT_EQ(music_get_position(), 0);
    for (int i = 0; i < 400; i++)
        music_seek_forward();  // past the end: the music ends quietly
    audio_null_run(out.data(), 1000);
    for (int i = 0; i < 2000; i++)
        ASSERT_EQ(out[i], 0);
    EXPECT_EQ(music_stop(), 1);
    EXPECT_EQ(music_get_position(), -1);
}

TEST_F(MusicPcm, ModulesAreRefusedAndNothingPlays)
{
    EXPECT_EQ(music_is_mp3("song.mod"), 0);
    EXPECT_EQ(music_start("data/song.mod"), 0);
    EXPECT_EQ(music_get_position(), -1);
    music_seek_forward();  // nothing loaded: nothing happens
    EXPECT_EQ(music_get_position(), -1);
    EXPECT_EQ(music_start(nullptr), 0);
}

}  // namespace
