// tga_reader_test.cpp -- the TGA reader: header checks, packets, row handling, reports and sizes
#include "tga_test_util.h"

#include "tga/tga.h"

#include <cstdlib>

namespace {

struct Read {
    TgaData data{};
    TgaHeader header{};
    int last = -1;
    std::string err;  // what the reader printed on standard error
    Bytes pixels(size_t n) const { return data.pixels ? Bytes(data.pixels, data.pixels + n) : Bytes(); }
};

// Writes the bytes to a file and reads it through tga_read_image with the given request flags.
Read read_tga(const Bytes& file, uint32_t flags)
{
    std::string path = scratch_path("r.tga");
    write_bytes(path, file);
    Read r;
    r.data.flags = flags;
    ::testing::internal::CaptureStderr();
    TgaReader* reader = tga_open(path.c_str(), "rb");
    if (reader) {
        tga_read_image(reader, &r.data);
        r.header = reader->header;
        r.last = reader->last;
        tga_close(reader);
    }
    r.err = ::testing::internal::GetCapturedStderr();
    return r;
}

struct TgaReaderTest : ::testing::Test {
    Read r;
    void TearDown() override { tga_free_data(&r.data); }
};

const Bytes BGR_2X2 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

TEST_F(TgaReaderTest, SwapGivesRedFirstAndOnlyWhenAsked)
{
    r = read_tga(tga_header_bytes(2, 2, 2, 24) + BGR_2X2, TGA_WANT_PIXELS | TGA_SWAP_RB);
    EXPECT_EQ(r.data.flags, (uint32_t)(TGA_WANT_PIXELS | TGA_SWAP_RB));
    EXPECT_EQ(r.pixels(12), Bytes({3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}));
    EXPECT_EQ(r.err, "");
    tga_free_data(&r.data);
    r = read_tga(tga_header_bytes(2, 2, 2, 24) + BGR_2X2, TGA_WANT_PIXELS);
    EXPECT_EQ(r.pixels(12), BGR_2X2);
}

TEST_F(TgaReaderTest, RunAndRawPacketsAndTypeLoweredAfterwards)
{
    // 0x82: a run of three; 0x01: two raw pixels. Trailing bytes (a footer) are never read.
    Bytes body = {0x82, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9};
    Bytes footer(26, 0xEE);
    r = read_tga(tga_header_bytes(10, 5, 1, 24) + body + footer, TGA_WANT_PIXELS);
    EXPECT_EQ(r.pixels(15), Bytes({1, 2, 3, 1, 2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_TRUE(r.data.flags & TGA_WANT_PIXELS);
    EXPECT_EQ(r.header.image_type, 2);
    EXPECT_EQ(r.last, 0);
    EXPECT_EQ(r.err, "");
}

TEST_F(TgaReaderTest, PacketsNeverContinueIntoTheNextRow)
{
    // The run of five is cut after three; the second row starts with a fresh packet byte.
    Bytes body = {0x84, 9, 9, 9, 0x02, 1, 1, 1, 2, 2, 2, 3, 3, 3};
    r = read_tga(tga_header_bytes(10, 3, 2, 24) + body, TGA_WANT_PIXELS);
    EXPECT_EQ(r.pixels(18), Bytes({9, 9, 9, 9, 9, 9, 9, 9, 9, 1, 1, 1, 2, 2, 2, 3, 3, 3}));
    EXPECT_TRUE(r.data.flags & TGA_WANT_PIXELS);
}

TEST_F(TgaReaderTest, ShortFilesFailTwiceAndKeepTheRowsRead)
{
    // Exactly a header: the scanline read and the image read both report.
    r = read_tga(tga_header_bytes(2, 1, 1, 24), TGA_WANT_PIXELS | TGA_SWAP_RB);
    EXPECT_EQ(count_of(r.err, "Read failed\n"), 2) << r.err;
    EXPECT_EQ(count_of(r.err, "Tga:tgaread.cpp:"), 2) << r.err;
    EXPECT_FALSE(r.data.flags & TGA_WANT_PIXELS);
    tga_free_data(&r.data);

    // Run-length data ending inside the second row: one row kept, type lowered all the same.
    r = read_tga(tga_header_bytes(10, 2, 3, 24) + Bytes{0x81, 1, 2, 3, 0x00, 4, 5}, TGA_WANT_PIXELS);
    EXPECT_EQ(count_of(r.err, "Read failed"), 2);
    EXPECT_FALSE(r.data.flags & TGA_WANT_PIXELS);
    EXPECT_EQ(r.pixels(6), Bytes({1, 2, 3, 1, 2, 3}));
    EXPECT_EQ(r.header.image_type, 2);

    // A header cut short reports twice as well and reads nothing more.
    tga_free_data(&r.data);
    r = read_tga(Bytes(10, 0), TGA_WANT_PIXELS);
    EXPECT_EQ(count_of(r.err, "Read failed"), 2);
    EXPECT_EQ(r.data.pixels, nullptr);
}

TEST_F(TgaReaderTest, HeaderChecksRefuseUnknownSubFormats)
{
    for (const Bytes& header : {tga_header_bytes(1, 1, 1, 24, 0, 0, 1, 0, 1, 24), tga_header_bytes(2, 1, 1, 12),
                                tga_header_bytes(2, 1, 1, 0)}) {
        r = read_tga(header + Bytes(64, 0), TGA_WANT_PIXELS);
        EXPECT_EQ(count_of(r.err, "Unknown sub-format"), 2) << r.err;
        EXPECT_EQ(r.last, TGA_UNKNOWN_SUB_FORMAT);
        EXPECT_EQ(r.data.pixels, nullptr);
        EXPECT_EQ(r.data.colour_map, nullptr);
    }
    // Depths 15 and 16 pass the check.
    r = read_tga(tga_header_bytes(2, 1, 1, 15) + Bytes{1, 2}, TGA_WANT_PIXELS);
    EXPECT_EQ(r.err, "");
}

TEST_F(TgaReaderTest, FifteenAndSixteenBitPixelsAreTwoBytesHandedBackUnchanged)
{
    // The buffer is exactly width x height x 2 bytes: a wider read or write trips the sanitizer.
    Bytes raw = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    r = read_tga(tga_header_bytes(2, 3, 2, 16, 1) + raw, TGA_WANT_PIXELS | TGA_SWAP_RB);
    EXPECT_EQ(r.pixels(12), raw);
    EXPECT_TRUE(r.data.flags & TGA_WANT_PIXELS);
    tga_free_data(&r.data);
    r = read_tga(tga_header_bytes(10, 3, 2, 15) + Bytes{0x81, 0x34, 0x12, 0x00, 0x78, 0x56, 0x02, 1, 2, 3, 4, 5, 6},
                 TGA_WANT_PIXELS);
    EXPECT_EQ(r.pixels(12), Bytes({0x34, 0x12, 0x34, 0x12, 0x78, 0x56, 1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(r.data.flags & TGA_WANT_PIXELS);
}

TEST_F(TgaReaderTest, ColourMapAndIdentificationField)
{
    // Two 24-bit entries after a 3-byte id field; map bytes are swapped, indices are not.
    Bytes file = tga_header_bytes(1, 2, 1, 8, 0, 3, 1, 0, 2, 24) + Bytes{'a', 'b', 'c'} +
                 Bytes{10, 20, 30, 40, 50, 60} + Bytes{1, 0};
    r = read_tga(file, TGA_WANT_ID | TGA_WANT_PIXELS | TGA_SWAP_RB);
    EXPECT_EQ(r.data.flags, (uint32_t)(TGA_WANT_ID | TGA_WANT_PIXELS | TGA_GOT_COLOURMAP | TGA_SWAP_RB));
    ASSERT_NE(r.data.id_field, nullptr);
    EXPECT_EQ(Bytes(r.data.id_field, r.data.id_field + 3), Bytes({'a', 'b', 'c'}));
    ASSERT_NE(r.data.colour_map, nullptr);
    EXPECT_EQ(Bytes(r.data.colour_map, r.data.colour_map + 6), Bytes({30, 20, 10, 60, 50, 40}));
    EXPECT_EQ(r.pixels(2), Bytes({1, 0}));
    tga_free_data(&r.data);

    // Without the request the id field is skipped, not read.
    r = read_tga(file, TGA_WANT_PIXELS);
    EXPECT_EQ(r.data.id_field, nullptr);
    EXPECT_EQ(r.pixels(2), Bytes({1, 0}));
    tga_free_data(&r.data);

    // A file without an id field clears the request.
    r = read_tga(tga_header_bytes(2, 1, 1, 24) + Bytes{1, 2, 3}, TGA_WANT_ID | TGA_WANT_PIXELS);
    EXPECT_EQ(r.data.flags, (uint32_t)TGA_WANT_PIXELS);
}

TEST_F(TgaReaderTest, ColourMapWithoutEntriesIsReportedOnceByTheImageRead)
{
    // The map read fails silently; the image read names it once (as a sub-format, never as "Success"),
    // clears only the colour-map bit and reads no pixels.
    r = read_tga(tga_header_bytes(1, 1, 1, 8, 0, 0, 1, 0, 0, 24) + Bytes{0}, TGA_WANT_PIXELS | TGA_SWAP_RB);
    EXPECT_EQ(count_of(r.err, "Tga:"), 1) << r.err;
    EXPECT_EQ(count_of(r.err, "Unknown sub-format"), 1) << r.err;
    EXPECT_EQ(r.data.flags, (uint32_t)(TGA_WANT_PIXELS | TGA_SWAP_RB));
    EXPECT_EQ(r.data.pixels, nullptr);
    EXPECT_EQ(r.data.colour_map, nullptr);
}

TEST_F(TgaReaderTest, ColourMapCutShortClearsOnlyTheColourMapBit)
{
    // Two 24-bit entries announced, four bytes present: "Read failed" from the map read and again from
    // the image read; the pixel request stays as the caller set it and no pixels are read.
    r = read_tga(tga_header_bytes(1, 1, 1, 8, 0, 0, 1, 0, 2, 24) + Bytes{1, 2, 3, 4}, TGA_WANT_PIXELS);
    EXPECT_EQ(count_of(r.err, "Read failed"), 2) << r.err;
    EXPECT_EQ(r.data.flags, (uint32_t)TGA_WANT_PIXELS);
    EXPECT_EQ(r.data.pixels, nullptr);
    EXPECT_EQ(r.last, TGA_READ_FAILED);
}

TEST_F(TgaReaderTest, HugePicturesAreRefusedBeforeAllocating)
{
    // 65535 x 65535 x 4 bytes would be 16 GiB; 4097 x 4096 is just over the bound.
    for (const Bytes& header : {tga_header_bytes(2, 65535, 65535, 32, 8), tga_header_bytes(10, 4097, 4096, 8)}) {
        r = read_tga(header + Bytes(16, 0), TGA_WANT_PIXELS);
        EXPECT_EQ(count_of(r.err, "Out of memory"), 1) << r.err;
        EXPECT_EQ(r.data.pixels, nullptr);
        EXPECT_FALSE(r.data.flags & TGA_WANT_PIXELS);
    }
}

TEST_F(TgaReaderTest, ScanlinesAreReadWholeFromTheFirstRowOnly)
{
    std::string path = scratch_path("rows.tga");
    write_bytes(path, tga_header_bytes(2, 1, 3, 24) + Bytes(9, 7));
    ::testing::internal::CaptureStderr();
    TgaReader* reader = tga_open(path.c_str(), "rb");
    ASSERT_NE(reader, nullptr);
    ASSERT_EQ(tga_read_header(reader), 0);
    uint8_t buffer[9] = {};
    EXPECT_EQ(tga_read_scanlines(reader, buffer, 1, 2, 0), 0);
    EXPECT_EQ(reader->last, TGA_ERROR);
    EXPECT_EQ(tga_read_scanlines(reader, buffer, 0, 4, 0), 0);  // more rows than the buffer holds
    EXPECT_EQ(tga_read_scanlines(reader, buffer, 0, 3, 0), 3);
    EXPECT_EQ(reader->last, 0);
    EXPECT_EQ(Bytes(buffer, buffer + 9), Bytes(9, 7));
    tga_close(reader);
    EXPECT_EQ(count_of(::testing::internal::GetCapturedStderr(), "Error\n"), 2);
}

std::vector<int> hook_calls;
void record_hook(TgaReader*, int status) { hook_calls.push_back(status); }

TEST_F(TgaReaderTest, ReportsCallTheHookFirstAndNameTheModule)
{
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(tga_open(scratch_path("missing.tga").c_str(), "rb"), nullptr);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(count_of(err, "Failed to open file\n"), 1);
    EXPECT_EQ(err.rfind("Tga:tga.cpp:", 0), 0u) << err;

    std::string path = scratch_path("short.tga");
    write_bytes(path, tga_header_bytes(2, 2, 2, 32));
    ::testing::internal::CaptureStderr();
    TgaReader* reader = tga_open(path.c_str(), "rb");
    ASSERT_NE(reader, nullptr);
    reader->error_hook = record_hook;
    tga_read_image(reader, &r.data);  // no request: only the header is read
    EXPECT_TRUE(hook_calls.empty());
    r.data.flags = TGA_WANT_PIXELS;
    tga_read_image(reader, &r.data);
    EXPECT_EQ(hook_calls, std::vector<int>({TGA_READ_FAILED, TGA_READ_FAILED}));
    EXPECT_EQ(reader->last, 0);  // the image read ends by clearing it
    tga_close(reader);
    ::testing::internal::GetCapturedStderr();
    tga_close(nullptr);
}

TEST(TgaText, StatusTextsAndSwap)
{
    const char* texts[] = {"Success", "Error", "Out of memory", "Failed to open file", "Seek failed",
                           "Read failed", "Write failed", "Unknown sub-format"};
    for (int i = 0; i < 8; i++)
        EXPECT_STREQ(tga_status_text(i), texts[i]);
    EXPECT_STREQ(tga_status_text(9), "Error");
    EXPECT_STREQ(tga_status_text(-1), "Error");

    // A length that ends inside a pixel leaves the partial pixel alone instead of reading past it.
    uint8_t* b = (uint8_t*)malloc(7);
    for (int i = 0; i < 7; i++)
        b[i] = (uint8_t)i;
    tga_swap_rb(b, 7, 4);
    EXPECT_EQ(Bytes(b, b + 7), Bytes({2, 1, 0, 3, 6, 5, 4}));
    tga_swap_rb(b, 6, 3);
    EXPECT_EQ(Bytes(b, b + 7), Bytes({0, 1, 2, 5, 6, 3, 4}));
    free(b);
}

}  // namespace
