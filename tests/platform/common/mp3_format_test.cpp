// mp3_format_test.cpp -- finding the first MP3 frame behind tags and stray syncs; sound brought to stereo
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/mp3.h"

namespace {

// A stream of `count` MPEG-1 layer III frames, 128 kbit/s at 44100 Hz (417 bytes, 418 padded).
std::vector<uint8_t> frames(int count, uint8_t mode = 0x00)
{
    std::vector<uint8_t> out((size_t)(417 * count + count / 2), 0);
    for (int i = 0, at = 0; i < count; at += 417 + i % 2, i++) {
        out[at] = 0xFF;
        out[at + 1] = 0xFB;
        out[at + 2] = (uint8_t)(0x90 | (i % 2) << 1);
        out[at + 3] = mode;
    }
    return out;
}

TEST(Mp3Header, FirstFrameGivesFormatAndLength)
{
    std::vector<uint8_t> s = frames(3);
    Mp3Header h;
    EXPECT_EQ(mp3_find_header(s.data(), (long)s.size(), &h), 0);
    EXPECT_EQ(h.version, 1);
    EXPECT_EQ(h.rate, 44100);
    EXPECT_EQ(h.channels, 2);
    EXPECT_EQ(h.kbps, 128);
    EXPECT_EQ(h.frame_bytes, 417);
    s = frames(3, 0xC0);  // single channel
    EXPECT_EQ(mp3_find_header(s.data(), (long)s.size(), &h), 0);
    EXPECT_EQ(h.channels, 1);
    // MPEG-2 at 22050 Hz, 64 kbit/s: 72000 x 64 / 22050 = 208 bytes.
    std::vector<uint8_t> m2(208 * 2, 0);
    for (int i = 0; i < 2; i++) {
        m2[208 * i] = 0xFF, m2[208 * i + 1] = 0xF3, m2[208 * i + 2] = 0x80;
    }
    EXPECT_EQ(mp3_find_header(m2.data(), (long)m2.size(), &h), 0);
    EXPECT_EQ(h.version, 2);
    EXPECT_EQ(h.rate, 22050);
    EXPECT_EQ(h.kbps, 64);
    EXPECT_EQ(h.frame_bytes, 208);
}

TEST(Mp3Header, TagsAndStraySyncsAreSkipped)
{
    // ID3v2 of 0x81 = 129 bytes (syncsafe 00 00 01 01), holding a sync pattern of its own.
    std::vector<uint8_t> s = {'I', 'D', '3', 4, 0, 0, 0, 0, 1, 1};
    s.resize(10 + 129, 0);
    s[20] = 0xFF, s[21] = 0xFB, s[22] = 0x90;
    std::vector<uint8_t> audio = frames(2);
    // A stray sync after the tag whose "next frame" is not one.
    s.push_back(0xFF), s.push_back(0xFB), s.push_back(0x90), s.push_back(0), s.push_back(7);
    s.insert(s.end(), audio.begin(), audio.end());
    Mp3Header h;
    EXPECT_EQ(mp3_find_header(s.data(), (long)s.size(), &h), 139 + 5);
    // Layer II, a free or invalid bit rate and a reserved rate are not layer III frames.
    const uint8_t wrong[4][2] = {{0xFD, 0x90}, {0xFB, 0x00}, {0xFB, 0xF0}, {0xFB, 0x9C}};
    for (const uint8_t* b : wrong) {
        std::vector<uint8_t> bad = frames(2);
        bad[1] = bad[418] = b[0];
        bad[2] = b[1];
        bad[419] = (uint8_t)(b[1] | 2);
        EXPECT_EQ(mp3_find_header(bad.data(), (long)bad.size(), &h), -1) << (int)b[0] << " " << (int)b[1];
    }
    EXPECT_EQ(mp3_find_header(s.data(), 3, &h), -1);
}

TEST(Mp3ToStereo, MonoAtHalfRateIsInterpolatedOnBothSides)
{
    int16_t mono[] = {0, 1000, -2000};
    Mp3Pcm pcm = {mono, 3, 22050, 1};
    int64_t n = 0;
    int16_t* out = mp3_to_stereo(&pcm, 44100, &n);
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(n, 6);
    const int16_t want[] = {0, 0, 500, 500, 1000, 1000, -500, -500, -2000, -2000, -2000, -2000};
    for (int i = 0; i < 12; i++)
        EXPECT_EQ(out[i], want[i]) << i;
    free(out);
}

TEST(Mp3ToStereo, StereoAtTheDeviceRateIsCopiedAndEmptyGivesNothing)
{
    int16_t stereo[] = {1, -1, 32767, -32768, 5, 6};
    Mp3Pcm pcm = {stereo, 3, 44100, 2};
    int64_t n = 0;
    int16_t* out = mp3_to_stereo(&pcm, 44100, &n);
    ASSERT_EQ(n, 3);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(out[i], stereo[i]);
    free(out);
    Mp3Pcm empty = {nullptr, 0, 44100, 2};
    EXPECT_EQ(mp3_to_stereo(&empty, 44100, &n), nullptr);
    EXPECT_EQ(n, 0);
}

}  // namespace
