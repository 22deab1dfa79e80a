// tga_reference_test.cpp -- pictures written by Pillow and ImageMagick decode as those encoders and stb_image read them
#include "tga_test_util.h"

#include "gfx2d/gfx2d.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <stb/stb_image.h>

namespace {

struct Fixture {
    std::string name;
    int width, height, stb;
};

std::vector<Fixture> manifest()
{
    std::vector<Fixture> list;
    std::ifstream in(fixture_path("manifest.txt"));
    Fixture f;
    while (in >> f.name >> f.width >> f.height >> f.stb)
        list.push_back(f);
    return list;
}

// First differing pixel, as text, or "" when the Image holds exactly these RGBA bytes.
std::string compare(const Image& image, const uint8_t* rgba, const char* who)
{
    for (int i = 0; i < image.width * image.height; i++) {
        uint8_t mine[4];
        memcpy(mine, &image.pixels[i], 4);
        if (memcmp(mine, rgba + 4 * i, 4) != 0) {
            std::ostringstream s;
            s << who << " differs at (" << i % image.width << ", " << i / image.width << "): ours " << +mine[0] << ","
              << +mine[1] << "," << +mine[2] << "," << +mine[3] << " theirs " << +rgba[4 * i] << ","
              << +rgba[4 * i + 1] << "," << +rgba[4 * i + 2] << "," << +rgba[4 * i + 3];
            return s.str();
        }
    }
    return "";
}

TEST(TgaReference, EveryEncodedVariantDecodesLikeTheEncoderReadsIt)
{
    std::vector<Fixture> list = manifest();
    ASSERT_GE(list.size(), 17u) << "reference pictures missing in " << KERV_TGA_FIXTURES;
    Bytes source = read_bytes(fixture_path("source.rgba"));
    int with_stb = 0;
    for (const Fixture& f : list) {
        SCOPED_TRACE(f.name);
        Image image{};
        ::testing::internal::CaptureStderr();
        image_load(fixture_path(f.name + ".tga").c_str(), &image);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        ASSERT_NE(image.pixels, nullptr);
        ASSERT_EQ(image.width, f.width);
        ASSERT_EQ(image.height, f.height);

        Bytes reference = read_bytes(fixture_path(f.name + ".rgba"));
        ASSERT_EQ(reference.size(), (size_t)f.width * f.height * 4);
        EXPECT_EQ(compare(image, reference.data(), "encoder's reading"), "");
        // True-colour files must also hold exactly the picture that was encoded.
        if (f.name.rfind("rgba32", 0) == 0 || f.name.rfind("im_rgba32", 0) == 0) {
            EXPECT_EQ(compare(image, source.data(), "source picture"), "");
        }

        if (f.stb) {
            int w = 0, h = 0, n = 0;
            std::string path = fixture_path(f.name + ".tga");
            uint8_t* theirs = stbi_load(path.c_str(), &w, &h, &n, 4);
            ASSERT_NE(theirs, nullptr) << stbi_failure_reason();
            EXPECT_EQ(w, f.width);
            EXPECT_EQ(h, f.height);
            EXPECT_EQ(compare(image, theirs, "stb_image"), "");
            stbi_image_free(theirs);
            with_stb++;
        }
        image_free(&image);
    }
    EXPECT_GE(with_stb, 14);
}

TEST(TgaReference, OpaqueSourceRowsSurviveTwentyFourBits)
{
    // The 24-bit files hold the encoded picture's colours with alpha 255 everywhere.
    Bytes source = read_bytes(fixture_path("source.rgba"));
    ASSERT_FALSE(source.empty());
    for (const char* name : {"rgb24_raw_bu", "rgb24_rle_td", "rgb24_raw_bu_rtl", "rgb24_raw_id"}) {
        SCOPED_TRACE(name);
        Image image{};
        image_load(fixture_path(std::string(name) + ".tga").c_str(), &image);
        ASSERT_NE(image.pixels, nullptr);
        for (size_t i = 0; i < source.size() / 4; i++) {
            uint32_t want;
            memcpy(&want, &source[4 * i], 4);
            ASSERT_EQ(image.pixels[i], (want & 0x00FFFFFFu) | 0xFF000000u) << i;
        }
        image_free(&image);
    }
}

TEST(TgaReference, ShowPicturesLoadSilentlyAndAsStbReadsThem)
{
    // The show's own pictures, where the data has been built (the tests run beside data/).
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("data", ec))
        if (entry.path().extension() == ".tga")
            names.push_back(entry.path().string());
    if (names.empty())
        GTEST_SKIP() << "no pictures in data/";
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        Image image{};
        ::testing::internal::CaptureStderr();
        image_load(name.c_str(), &image);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        ASSERT_NE(image.pixels, nullptr);
        int w = 0, h = 0, n = 0;
        uint8_t* theirs = stbi_load(name.c_str(), &w, &h, &n, 4);
        ASSERT_NE(theirs, nullptr);
        ASSERT_EQ(w, image.width);
        ASSERT_EQ(h, image.height);
        EXPECT_EQ(compare(image, theirs, "stb_image"), "");
        stbi_image_free(theirs);
        image_free(&image);
    }
}

}  // namespace
