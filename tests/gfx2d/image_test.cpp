// image_test.cpp -- Images: the two blit rules, clipping, raw files and their names, loader fall-backs, the viewer
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "demo/demo.h"
#include "gfx2d/gfx2d.h"
#include "platform/display.h"
#include "tga/tga_test_util.h"

namespace {

uint32_t rgba(int r, int g, int b, int a) { return (uint32_t)r | (uint32_t)g << 8 | (uint32_t)b << 16 | (uint32_t)a << 24; }

// An Image over a vector the test owns; never passed to image_free.
struct TestImage {
    std::vector<uint32_t> pixels;
    Image image{};
    TestImage(int w, int h, uint32_t fill) : pixels((size_t)w * h, fill)
    {
        image.pixels = pixels.data();
        image.width = (uint16_t)w;
        image.height = (uint16_t)h;
    }
};

struct ImageTest : ::testing::Test {
    void SetUp() override
    {
        if (!screen)
            screen_create();
        screen_fill(0);
    }
    static uint32_t at(int x, int y) { return screen[y * SCREEN_W + x]; }
    static int changed(uint32_t background)
    {
        int n = 0;
        for (int i = 0; i < SCREEN_PIXELS; i++)
            n += screen[i] != background;
        return n;
    }
    std::string loaded_with_messages(const std::string& name, Image* image, std::string* out = nullptr)
    {
        ::testing::internal::CaptureStderr();
        ::testing::internal::CaptureStdout();
        image_load(name.c_str(), image);
        std::string o = ::testing::internal::GetCapturedStdout();
        if (out)
            *out = o;
        return ::testing::internal::GetCapturedStderr();
    }
    static void expect_empty(const Image& image)
    {
        EXPECT_EQ(image.pixels, nullptr);
        EXPECT_EQ(image.width, 0);
        EXPECT_EQ(image.height, 0);
    }
};

TEST_F(ImageTest, AlphaRuleDividesBy256)
{
    TestImage img(4, 1, 0);
    img.pixels = {rgba(255, 255, 255, 128), rgba(255, 255, 255, 255), rgba(1, 1, 1, 255), rgba(200, 100, 50, 0)};
    screen_fill(rgba(0, 0, 0, 0x5A));
    screen[3] = rgba(9, 8, 7, 0x5A);
    image_blit_alpha(&img.image, 0, 0);
    EXPECT_EQ(at(0, 0), rgba(127, 127, 127, 0x5A));  // the Screen's fourth byte is left alone
    EXPECT_EQ(at(1, 0), rgba(254, 254, 254, 0x5A));
    EXPECT_EQ(at(2, 0), rgba(0, 0, 0, 0x5A));
    EXPECT_EQ(at(3, 0), rgba(9, 8, 7, 0x5A));        // alpha 0 leaves the pixel untouched

    // Mixed: (200*100 + 40*155) >> 8 = 102 and so on per channel.
    screen_fill(rgba(40, 80, 120, 0));
    TestImage mix(1, 1, rgba(200, 10, 255, 100));
    image_blit_alpha(&mix.image, 5, 5);
    EXPECT_EQ(at(5, 5), rgba((200 * 100 + 40 * 155) >> 8, (10 * 100 + 80 * 155) >> 8, (255 * 100 + 120 * 155) >> 8, 0));
}

TEST_F(ImageTest, AdditiveRuleIsUnscaledAndSaturates)
{
    TestImage img(4, 1, 0);
    img.pixels = {rgba(1, 1, 1, 1), rgba(2, 2, 2, 200), rgba(1, 0, 3, 255), rgba(200, 200, 200, 0)};
    screen_fill(rgba(10, 10, 10, 0x33));
    image_blit_add(&img.image, 0, 0);
    EXPECT_EQ(at(0, 0), rgba(11, 11, 11, 0x33));
    EXPECT_EQ(at(1, 0), rgba(255, 255, 255, 0x33));
    EXPECT_EQ(at(2, 0), rgba(255, 10, 255, 0x33));  // any non-zero channel at alpha 255 saturates
    EXPECT_EQ(at(3, 0), rgba(10, 10, 10, 0x33));
}

TEST_F(ImageTest, ClippingKeepsTheVisiblePartOnly)
{
    // Every source pixel distinct, so a wrong offset shows.
    TestImage img(10, 10, 0);
    for (int i = 0; i < 100; i++)
        img.pixels[i] = rgba(i + 1, 0, 0, 255);
    image_blit_alpha(&img.image, -5, -5);
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 5; x++)
            EXPECT_EQ(at(x, y) & 255, (uint32_t)((((y + 5) * 10 + x + 5) + 1) * 255 >> 8)) << x << "," << y;
    EXPECT_EQ(changed(0), 25);

    screen_fill(0);
    image_blit_add(&img.image, 235, 145);  // lower-right corner: the upper-left 5 x 5
    EXPECT_EQ(changed(0), 25);
    EXPECT_EQ(at(239, 149), 255u);
    EXPECT_EQ(at(235, 145), 255u);

    screen_fill(0);
    int offscreen[][2] = {{240, 0}, {0, 150}, {-10, 0}, {0, -10}, {INT_MIN, INT_MIN}, {INT_MAX, INT_MAX},
                          {INT_MIN, 0}, {0, INT_MAX}, {-11, -11}, {241, 151}};
    for (auto& p : offscreen) {
        image_blit_alpha(&img.image, p[0], p[1]);
        image_blit_add(&img.image, p[0], p[1]);
    }
    EXPECT_EQ(changed(0), 0);

    TestImage full(SCREEN_W, SCREEN_H, rgba(255, 255, 255, 255));
    full.pixels[7] = 0;
    image_blit_add(&full.image, 0, 0);
    EXPECT_EQ(changed(0), SCREEN_PIXELS - 1);

    // A tall image far above the Screen reaches it with its last rows only.
    screen_fill(0);
    TestImage tall(1, 300, 0);
    tall.pixels[299] = rgba(5, 0, 0, 1);
    image_blit_add(&tall.image, 3, -299);
    EXPECT_EQ(at(3, 0), 5u);
    EXPECT_EQ(changed(0), 1);
}

TEST_F(ImageTest, EmptyImagesAreAcceptedEverywhere)
{
    Image empty{};
    image_blit_alpha(&empty, 0, 0);
    image_blit_add(&empty, -3, 4);
    image_blit_alpha(nullptr, 0, 0);
    image_free(&empty);
    image_free(&empty);
    expect_empty(empty);
    EXPECT_EQ(changed(0), 0);
}

TEST_F(ImageTest, SizeComesFromTheName)
{
    struct Case {
        const char* name;
        int w, h;
    } cases[] = {
        {"data/plasma_240x150.raw", 240, 150}, {"a_1x1.bin", 1, 1},       {"dir_9x9/pic_12x34.raw", 12, 34},
        {"data/plasma.raw", 0, 0},             {"data/p_12345x2.raw", 0, 0}, {"p_2x12345.raw", 0, 0},
        {"p_x2.raw", 0, 0},                    {"p_2x.raw", 0, 0},        {"240x150.raw", 0, 0},
        {"p_240x150", 0, 0},                   {"p_ab x2.raw", 0, 0},     {"p_-4x2.raw", 0, 0},
        {"", 0, 0},                            {"p_ 12x 3.raw", 12, 3},
        // Strictly digits: a stray letter or sign is no size rather than the number before it.
        {"pic_240xx150.raw", 0, 0},            {"pic_240x150x.raw", 0, 0}, {"pic_24ax150.raw", 0, 0},
        {"pic_240x15 .raw", 0, 0},             {"pic_+4x2.raw", 0, 0},     {"pic_0240x0150.raw", 240, 150},
        {"pic_ x2.raw", 0, 0},
    };
    for (const Case& c : cases) {
        int w = -1, h = -1;
        image_size_from_name(c.name, &w, &h);
        EXPECT_EQ(w, c.w) << c.name;
        EXPECT_EQ(h, c.h) << c.name;
    }
}

TEST_F(ImageTest, RawFilesLoadExactlyOrNotAtAll)
{
    // 256 x 1 and 1 x 2: exact bytes and the width shift of each.
    std::string path = scratch_path("ramp_256x1.raw");
    Bytes ramp;
    for (int i = 0; i < 256 * 4; i++)
        ramp.push_back((uint8_t)(i * 7));
    write_bytes(path, ramp + Bytes(5, 0xAB));  // bytes past the picture are ignored
    Image image{};
    EXPECT_EQ(loaded_with_messages(path, &image), "");
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.width, 256);
    EXPECT_EQ(image.height, 1);
    EXPECT_EQ(image.width_shift, 8);
    EXPECT_EQ(memcmp(image.pixels, ramp.data(), ramp.size()), 0);
    image_free(&image);
    EXPECT_EQ(image.width_shift, 8);  // kept by image_free

    std::string one = scratch_path("dot_1x2.raw");
    write_bytes(one, Bytes(8, 1));
    image_load(one.c_str(), &image);
    EXPECT_EQ(image.width_shift, 0);
    image_free(&image);
    std::string wide = scratch_path("row_240x1.raw");
    write_bytes(wide, Bytes(240 * 4, 1));
    image_load(wide.c_str(), &image);
    EXPECT_EQ(image.width_shift, 7);
    image_free(&image);

    // Shorter than the name promises: refused with a message naming the file.
    std::string short_path = scratch_path("cut_240x150.raw");
    write_bytes(short_path, Bytes(240 * 150 * 4 - 1, 0));
    std::string err = loaded_with_messages(short_path, &image);
    expect_empty(image);
    EXPECT_NE(err.find(short_path), std::string::npos) << err;
    EXPECT_NE(err.find("shorter than 240 x 150"), std::string::npos) << err;

    // No size in the name.
    std::string plain = scratch_path("plain.raw");
    write_bytes(plain, Bytes(64, 0));
    err = loaded_with_messages(plain, &image);
    expect_empty(image);
    EXPECT_NE(err.find("no size in the name"), std::string::npos) << err;

    // Missing: the fixed text on standard output as it stands, then the file, once.
    std::string out, gone = scratch_path("gone_4x4.raw");
    err = loaded_with_messages(gone, &image, &out);
    expect_empty(image);
    EXPECT_EQ(out, "EEEEEEEEEEEK!!!     file not found!! (" + gone + ")\n");
    EXPECT_EQ(err, "");

    // A size beyond what any picture needs fails as an allocation would.
    std::string huge = scratch_path("huge_9999x9999.raw");
    write_bytes(huge, Bytes(16, 0));
    err = loaded_with_messages(huge, &image, &out);
    expect_empty(image);
    EXPECT_EQ(out, "EEEEEEEEEEEK!!!     not nuff mem!! (" + huge + ": 9999 x 9999 pixels)\n");
}

// Writes a TGA under the given name and loads it; returns the Image (caller frees).
Image load_tga_bytes(const std::string& path, const Bytes& bytes, std::string* err = nullptr)
{
    write_bytes(path, bytes);
    Image image{};
    ::testing::internal::CaptureStderr();
    image_load(path.c_str(), &image);
    std::string e = ::testing::internal::GetCapturedStderr();
    if (err)
        *err = e;
    return image;
}

TEST_F(ImageTest, TgaOrientationAndAlpha)
{
    // 2 x 2, bottom-up, blue-green-red-alpha with 8 attribute bits: file rows are bottom row first.
    Bytes px = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    Image image = load_tga_bytes(scratch_path("a.tga"), tga_header_bytes(2, 2, 2, 32, 8) + px);
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.width_shift, 1);
    EXPECT_EQ(image.pixels[0], rgba(11, 10, 9, 12));  // Image row 0 = the file's last row
    EXPECT_EQ(image.pixels[1], rgba(15, 14, 13, 16));
    EXPECT_EQ(image.pixels[2], rgba(3, 2, 1, 4));
    image_free(&image);

    // Right to left and top to bottom: mirrored back, rows in file order.
    image = load_tga_bytes(scratch_path("b.tga"), tga_header_bytes(2, 2, 2, 32, 0x38) + px);
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.pixels[0], rgba(7, 6, 5, 8));
    EXPECT_EQ(image.pixels[3], rgba(11, 10, 9, 12));
    image_free(&image);

    // 32 bits without attribute bits: no alpha in the file, so opaque.
    image = load_tga_bytes(scratch_path("c.tga"), tga_header_bytes(2, 2, 2, 32, 0x20) + px);
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.pixels[0], rgba(3, 2, 1, 255));
    image_free(&image);

    // 24 bits with attribute bits: 3 bytes a pixel all the same, opaque.
    image = load_tga_bytes(scratch_path("d.tga"), tga_header_bytes(2, 2, 2, 24, 0x28) + Bytes(px.begin(), px.begin() + 12));
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.pixels[1], rgba(6, 5, 4, 255));
    EXPECT_EQ(image.pixels[3], rgba(12, 11, 10, 255));
    image_free(&image);
}

TEST_F(ImageTest, TgaOtherDepthsDecode)
{
    // 16 bits, 5-5-5 with blue low: 0x7C00 red, 0x03E0 green, 0x001F blue, 0x8421 one step of each.
    Image image = load_tga_bytes(scratch_path("s.tga"), tga_header_bytes(2, 4, 1, 16, 0x21) +
                                                              Bytes{0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x21, 0x84});
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.pixels[0], rgba(255, 0, 0, 255));
    EXPECT_EQ(image.pixels[1], rgba(0, 255, 0, 255));
    EXPECT_EQ(image.pixels[2], rgba(0, 0, 255, 255));
    EXPECT_EQ(image.pixels[3], rgba(8, 8, 8, 255));
    image_free(&image);

    // Colour-mapped with a first index of 2: index 2 is entry 0; indices outside the map are opaque black.
    Bytes map = {10, 20, 30, 40, 50, 60};  // blue-green-red entries
    image = load_tga_bytes(scratch_path("m.tga"), tga_header_bytes(1, 4, 1, 8, 0x20, 0, 1, 2, 2, 24) + map +
                                                      Bytes{2, 3, 1, 4});
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.pixels[0], rgba(30, 20, 10, 255));
    EXPECT_EQ(image.pixels[1], rgba(60, 50, 40, 255));
    EXPECT_EQ(image.pixels[2], rgba(0, 0, 0, 255));
    EXPECT_EQ(image.pixels[3], rgba(0, 0, 0, 255));
    image_free(&image);

    // A map of 16-bit entries.
    image = load_tga_bytes(scratch_path("m16.tga"), tga_header_bytes(1, 1, 1, 8, 0, 0, 1, 0, 1, 16) + Bytes{0x1F, 0, 0});
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.pixels[0], rgba(0, 0, 255, 255));
    image_free(&image);

    // Colour-mapped type without a map, and a map of 8-bit entries: empty, with a message naming the file.
    std::string err;
    std::string path = scratch_path("nomap.tga");
    image = load_tga_bytes(path, tga_header_bytes(1, 1, 1, 8) + Bytes{0}, &err);
    expect_empty(image);
    EXPECT_NE(err.find(path + ": picture not loaded"), std::string::npos) << err;
    image = load_tga_bytes(scratch_path("map8.tga"), tga_header_bytes(1, 1, 1, 8, 0, 0, 1, 0, 1, 8) + Bytes{7, 0}, &err);
    expect_empty(image);
    EXPECT_NE(err.find("not supported"), std::string::npos) << err;
}

TEST_F(ImageTest, TgaFailuresLeaveAnEmptyImageAndNameTheFile)
{
    std::string path = scratch_path("cut.tga");
    std::string err;
    Image image = load_tga_bytes(path, tga_header_bytes(2, 4, 4, 24) + Bytes(47, 9), &err);
    expect_empty(image);
    EXPECT_EQ(count_of(err, "Read failed"), 2) << err;
    EXPECT_EQ(count_of(err, path + ": picture not loaded\n"), 1) << err;

    // A picture of no pixels is not shown, and says so.
    path = scratch_path("empty.tga");
    image = load_tga_bytes(path, tga_header_bytes(2, 0, 5, 24), &err);
    expect_empty(image);
    EXPECT_EQ(err, path + ": picture not loaded: width of 0 pixels\n");
    image = load_tga_bytes(path, tga_header_bytes(2, 5, 0, 24), &err);
    expect_empty(image);
    EXPECT_EQ(err, path + ": picture not loaded: height of 0 pixels\n");

    ::testing::internal::CaptureStderr();
    image_load(scratch_path("missing.tga").c_str(), &image);
    err = ::testing::internal::GetCapturedStderr();
    expect_empty(image);
    EXPECT_EQ(count_of(err, "Failed to open file"), 1);

    // Any ".tga" in the name picks the TGA reader, so this raw-looking name is read as TGA.
    image = load_tga_bytes(scratch_path("x_1x1.tga.bak"), tga_header_bytes(2, 1, 1, 24) + Bytes{1, 2, 3});
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.pixels[0], rgba(3, 2, 1, 255));
    image_free(&image);
    image = load_tga_bytes(scratch_path("Y.TGA"), tga_header_bytes(2, 1, 1, 24) + Bytes{1, 2, 3});
    EXPECT_NE(image.pixels, nullptr);
    image_free(&image);
}

TEST_F(ImageTest, ViewerShowsThePictureAndLeavesTheKeyWaiting)
{
    // 2 x 1 picture: opaque red and a half-transparent white over a grey Screen.
    std::string path = scratch_path("view.tga");
    write_bytes(path, tga_header_bytes(2, 2, 1, 32, 8) + Bytes{0, 0, 255, 255, 255, 255, 255, 128});
    display_use(&display_null_driver);
    display_null_reset();
    screen_fill(rgba(100, 100, 100, 0));
    display_push_key('q');
    show_picture(path.c_str());
    EXPECT_EQ(at(0, 0), rgba(255 * 255 >> 8, 0, 0, 0));
    EXPECT_EQ(at(1, 0), rgba((255 * 128 + 100 * 127) >> 8, (255 * 128 + 100 * 127) >> 8, (255 * 128 + 100 * 127) >> 8, 0));
    EXPECT_EQ(at(2, 0), rgba(100, 100, 100, 0));  // the rest of the Screen is not cleared
    ASSERT_TRUE(display_key_waiting());
    EXPECT_EQ(display_read_key(), 'q');

    // A picture that does not load leaves the Screen as it was.
    display_push_key(KEY_ESCAPE);
    ::testing::internal::CaptureStderr();
    show_picture(scratch_path("none.tga").c_str());
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(at(0, 0), rgba(254, 0, 0, 0));
    EXPECT_EQ(display_read_key(), KEY_ESCAPE);
}

}  // namespace
