// pictures_test.cpp -- the generated pictures: sizes, alpha, textures that wrap, overlays that do not blind
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "content/content_files.h"

namespace {

bool power_of_two(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

const char* const FULL_SCREEN_WITH_ALPHA[] = {"credz1.tga", "credz2.tga", "logoEnd.tga", "ovr_kerv__.tga",
                                              "ovr_kerv16.tga", "info1.tga", "info2.tga", "info3.tga", "info4.tga"};
const char* const TEXTURES[] = {"probe.tga", "probe_blk.tga", "ice_env.tga", "ice gophy.tga", "kerv.tga",
                                "underwater.tga"};

TEST(ContentPictures, FullScreenPicturesAre240x150AndOverlaysCarryAlpha)
{
    TgaFile t;
    ASSERT_TRUE(read_tga("raybg.tga", &t));
    EXPECT_EQ(t.width, 240);
    EXPECT_EQ(t.height, 150);
    for (const char* name : FULL_SCREEN_WITH_ALPHA) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(read_tga(name, &t));
        EXPECT_EQ(t.width, 240);
        EXPECT_EQ(t.height, 150);
        EXPECT_EQ(t.depth, 32);
        EXPECT_EQ(t.descriptor & 15, 8);  // the loader takes the alpha only with attribute bits set
        int clear = 0, drawn = 0;
        for (int i = 0; i < t.width * t.height; i++)
            (t.rgba[i * 4 + 3] == 0 ? clear : drawn)++;
        EXPECT_GT(clear, 0) << "an overlay must let the scene through somewhere";
        EXPECT_GT(drawn, 200) << "an overlay must show something";
    }
}

TEST(ContentPictures, TexturesArePowersOfTwoWithoutTheTransparentKey)
{
    for (const char* name : TEXTURES) {
        SCOPED_TRACE(name);
        TgaFile t;
        ASSERT_TRUE(read_tga(name, &t));
        EXPECT_TRUE(power_of_two(t.width));
        EXPECT_TRUE(power_of_two(t.height));
        int keyed = 0;
        for (int i = 0; i < t.width * t.height; i++) {
            const uint8_t* p = &t.rgba[i * 4];
            keyed += p[0] == 255 && p[1] == 0 && p[2] == 255 && p[3] == 255;
        }
        EXPECT_EQ(keyed, 0);
    }
}

// The additive blit adds colour x alpha unscaled, so a bright or opaque overlay would whiten the Screen.
TEST(ContentPictures, AdditiveOverlaysAddLittle)
{
    for (const char* name : {"ovr_kerv__.tga", "ovr_kerv16.tga"}) {
        SCOPED_TRACE(name);
        TgaFile t;
        ASSERT_TRUE(read_tga(name, &t));
        int most = 0;
        for (int i = 0; i < t.width * t.height; i++)
            for (int c = 0; c < 3; c++)
                most = std::max(most, t.rgba[i * 4 + c] * t.rgba[i * 4 + 3]);
        EXPECT_GT(most, 30);
        EXPECT_LE(most, 160);
    }
}

TEST(ContentPictures, GreetingsHoldADozenPagesEachWithItsOwnLettering)
{
    TgaFile t;
    ASSERT_TRUE(read_tga("greets.tga", &t));
    EXPECT_EQ(t.width, 240);
    ASSERT_EQ(t.height % 150, 0);
    int pages = t.height / 150;
    EXPECT_GE(pages, 12);
    std::vector<std::vector<uint8_t>> seen;
    for (int p = 0; p < pages; p++) {
        SCOPED_TRACE(p);
        std::vector<uint8_t> page(t.rgba.begin() + (size_t)p * 150 * 240 * 4, t.rgba.begin() + (size_t)(p + 1) * 150 * 240 * 4);
        int letters = 0;
        for (size_t i = 0; i < page.size(); i += 4)
            letters += page[i + 3] > 200 && page[i] > 128;
        EXPECT_GT(letters, 300);
        // The top and bottom rows stay clear, so pages never bleed into each other.
        for (int x = 0; x < 240; x++) {
            EXPECT_EQ(page[x * 4 + 3], 0);
            EXPECT_EQ(page[(149 * 240 + x) * 4 + 3], 0);
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), page), 0) << "two pages are the same";
        seen.push_back(page);
    }
}

// The sky wraps this picture around the sphere; its left and right edges must meet.
TEST(ContentPictures, UnderwaterRepeatsAcrossItsWidthAndStaysDarkEnoughToAdd)
{
    TgaFile t;
    ASSERT_TRUE(read_tga("underwater.tga", &t));
    auto step = [&t](int a, int b) {
        long sum = 0;
        for (int y = 0; y < t.height; y++)
            for (int c = 0; c < 3; c++)
                sum += std::abs(t.at(a, y, c) - t.at(b, y, c));
        return sum;
    };
    long steepest = 0;
    for (int x = 0; x + 1 < t.width; x++)
        steepest = std::max(steepest, step(x, x + 1));
    EXPECT_LE(step(t.width - 1, 0), steepest) << "the edges differ more than any neighbouring columns do";
    int brightest = 0;
    for (int i = 0; i < t.width * t.height * 4; i++)
        if (i % 4 != 3)
            brightest = std::max(brightest, (int)t.rgba[i]);
    EXPECT_LE(brightest, 190) << "a second copy is added on top; it would saturate";
}

}  // namespace

namespace {

// greetings.txt asks for the lines low on the page ("middle 112"): the upper 70 rows of every page stay
// clear, panel and all, since the floating word stands there while the greetings show.
TEST(ContentPictures, GreetingsStandLowAndLeaveTheTopClear)
{
    TgaFile t;
    ASSERT_TRUE(read_tga("greets.tga", &t));
    for (int p = 0; p < t.height / 150; p++) {
        SCOPED_TRACE(p);
        int first_drawn = 150;
        for (int y = 0; y < 150 && first_drawn == 150; y++)
            for (int x = 0; x < 240; x++)
                if (t.rgba[((size_t)(p * 150 + y) * 240 + x) * 4 + 3] != 0) {
                    first_drawn = y;
                    break;
                }
        EXPECT_GE(first_drawn, 70);
        EXPECT_LE(first_drawn, 100);
    }
}

}  // namespace
