// tga_fuzz_test.cpp -- truncated, corrupted and random files: never a crash, either the whole picture or an empty Image
#include "tga_test_util.h"

#include "gfx2d/gfx2d.h"

#include <cstring>
#include <random>

namespace {

struct Loaded {
    Image image{};
    std::string err;
    ~Loaded() { image_free(&image); }
};

void load_quiet(const std::string& path, Loaded* l)
{
    ::testing::internal::CaptureStderr();
    image_load(path.c_str(), &l->image);
    l->err = ::testing::internal::GetCapturedStderr();
}

bool same_picture(const Image& a, const Image& b)
{
    return a.width == b.width && a.height == b.height &&
           memcmp(a.pixels, b.pixels, (size_t)a.width * a.height * 4) == 0;
}

TEST(TgaFuzz, TruncationAtEveryLengthGivesAllOrNothing)
{
    for (const char* name : {"rgba32_rle_id", "rgb24_raw_bu", "mapped8_rle", "grey8_rle", "im_rgb24_rle"}) {
        SCOPED_TRACE(name);
        Bytes file = read_bytes(fixture_path(std::string(name) + ".tga"));
        ASSERT_GT(file.size(), 100u);
        Loaded whole;
        load_quiet(fixture_path(std::string(name) + ".tga"), &whole);
        ASSERT_NE(whole.image.pixels, nullptr);
        // Pillow ends its files in a 26-byte footer that the reader never needs; ImageMagick writes none.
        static const char FOOTER[] = "TRUEVISION-XFILE.";
        size_t trailing = memcmp(&file[file.size() - 18], FOOTER, 18) == 0 ? 26 : 0;

        std::string path = scratch_path(std::string(name) + ".tga");
        size_t loaded = 0, refused = 0;
        ::testing::internal::CaptureStderr();
        for (size_t n = 0; n < file.size(); n++) {
            write_bytes(path, Bytes(file.begin(), file.begin() + n));
            Image cut{};
            image_load(path.c_str(), &cut);
            if (cut.pixels) {
                // Only trailing bytes were lost.
                EXPECT_TRUE(same_picture(cut, whole.image)) << n;
                EXPECT_GE(n, file.size() - trailing);
                loaded++;
            } else {
                EXPECT_EQ(cut.width + cut.height, 0) << n;
                refused++;
            }
            image_free(&cut);
        }
        std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(loaded, trailing);
        // One line naming the file for every length refused.
        EXPECT_EQ((size_t)count_of(err, path + ": picture not loaded\n"), refused);
    }
}

TEST(TgaFuzz, CorruptedBytesNeverReadOutOfBounds)
{
    // Flip bytes of valid files, header included; the sanitized build checks every access.
    std::mt19937 rng(1234);
    for (const char* name : {"rgba32_rle_td", "rgb24_rle_bu", "mapped8_rle", "grey16_alpha"}) {
        Bytes file = read_bytes(fixture_path(std::string(name) + ".tga"));
        ASSERT_FALSE(file.empty());
        std::string path = scratch_path(std::string(name) + ".tga");
        ::testing::internal::CaptureStderr();
        for (int round = 0; round < 300; round++) {
            Bytes bad = file;
            int flips = 1 + rng() % 4;
            for (int i = 0; i < flips; i++) {
                size_t at = round % 3 == 0 ? rng() % 18 : rng() % bad.size();
                bad[at] = (uint8_t)rng();
            }
            write_bytes(path, bad);
            Image l{};
            image_load(path.c_str(), &l);
            if (l.pixels) {
                EXPECT_GT(l.width, 0);
                EXPECT_GT(l.height, 0);
            } else {
                EXPECT_EQ(l.width + l.height, 0);
            }
            image_free(&l);
        }
        ::testing::internal::GetCapturedStderr();
    }
}

TEST(TgaFuzz, RandomFilesWithPlausibleHeaders)
{
    // Garbage after headers that reach every type, depth and map combination, plus pure garbage.
    std::mt19937 rng(99);
    const int types[] = {0, 1, 2, 3, 9, 10, 11, 5, 255};
    const int depths[] = {8, 15, 16, 24, 32, 0, 7, 33};
    const int entries[] = {0, 8, 15, 16, 24, 32, 255};
    std::string path = scratch_path("random.tga");
    int loaded = 0;
    ::testing::internal::CaptureStderr();
    for (int round = 0; round < 3000; round++) {
        Bytes file;
        if (round % 5 == 4) {
            file.resize(rng() % 64);
        } else {
            file = tga_header_bytes(types[rng() % 9], rng() % 20, rng() % 20, depths[rng() % 8], rng() & 0xFF,
                                    rng() % 4 == 0 ? rng() % 256 : 0, rng() % 3, rng() % 300, rng() % 300,
                                    entries[rng() % 7]);
            file.resize(18 + rng() % 2000);
        }
        for (size_t i = (round % 5 == 4 ? 0 : 18); i < file.size(); i++)
            file[i] = (uint8_t)rng();
        write_bytes(path, file);
        Image l{};
        image_load(path.c_str(), &l);
        if (l.pixels) {
            loaded++;
            EXPECT_LT(l.width, 20);
            EXPECT_LT(l.height, 20);
        } else {
            EXPECT_EQ(l.width + l.height, 0);
        }
        image_free(&l);
    }
    ::testing::internal::GetCapturedStderr();
    EXPECT_GT(loaded, 100);  // the garbage does reach the decoding, not only the checks
}

}  // namespace
