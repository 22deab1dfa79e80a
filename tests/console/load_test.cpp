// load_test.cpp -- the table files: complete ones load, missing, short and long ones stop with one line
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "test_temp.h"
#include "console/console.h"
#include "console/console_local.h"

namespace fs = std::filesystem;

namespace {

// Works in a folder of its own and puts back the working folder and the loaded tables afterwards.
struct LoadTablesTest : ::testing::Test {
    fs::path old_dir, dir;
    std::vector<uint8_t> chars, colours;
    std::vector<float> mix;

    void SetUp() override
    {
        chars.assign(char_table, char_table + CHAR_TABLE_BYTES);
        colours.assign(colour_table, colour_table + CELL_COLOURS);
        mix.assign(mix_table, mix_table + CELL_COLOURS);
        old_dir = fs::current_path();
        dir = fs::path(test_temp_path("load"));
        fs::create_directories(dir / "data");
        fs::current_path(dir);
    }
    void TearDown() override
    {
        fs::current_path(old_dir);
        fs::remove_all(dir);
        memcpy(char_table, chars.data(), CHAR_TABLE_BYTES);
        memcpy(colour_table, colours.data(), CELL_COLOURS);
        memcpy(mix_table, mix.data(), CELL_COLOURS * sizeof(float));
    }
    static void write(const char* name, const std::vector<uint8_t>& bytes)
    {
        FILE* f = fopen(name, "wb");
        ASSERT_TRUE(f);
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
    static std::string load_message(int* result)
    {
        testing::internal::CaptureStderr();
        *result = load_cell_tables();
        return testing::internal::GetCapturedStderr();
    }
};

TEST_F(LoadTablesTest, CompleteFilesLoadInOrder)
{
    std::vector<uint8_t> charmap(CHAR_TABLE_BYTES), colmap(COLMAP_BYTES);
    charmap[98441] = 0xDF;
    colmap[5] = 0x4E;
    const uint8_t quarter[4] = {0x00, 0x00, 0x80, 0x3E};  // 0.25f, little-endian
    memcpy(&colmap[CELL_COLOURS + 4 * 5], quarter, 4);
    const uint8_t minus_one[4] = {0x00, 0x00, 0x80, 0xBF};
    memcpy(&colmap[CELL_COLOURS + 4 * 32767], minus_one, 4);
    write("data/charmap.lut", charmap);
    write("data/colmap.lut", colmap);
    int ok;
    EXPECT_EQ(load_message(&ok), "");
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(char_table[98441], 0xDF);
    EXPECT_EQ(colour_table[5], 0x4E);
    EXPECT_EQ(mix_table[5], 0.25f);
    EXPECT_EQ(mix_table[32767], -1.0f);
}

TEST_F(LoadTablesTest, MissingShortAndLongFilesAreNamed)
{
    int ok;
    std::string m = load_message(&ok);
    EXPECT_EQ(ok, 0);
    EXPECT_NE(m.find("data/charmap.lut"), std::string::npos) << m;
    EXPECT_NE(m.find("118098"), std::string::npos) << m;

    write("data/charmap.lut", std::vector<uint8_t>(CHAR_TABLE_BYTES, 0x41));
    write("data/colmap.lut", std::vector<uint8_t>(COLMAP_BYTES - 1, 0x11));
    m = load_message(&ok);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(m, "data/colmap.lut: 163839 bytes, expected 163840\n");
    // Nothing is left half loaded.
    EXPECT_EQ(char_table[0], 0);

    write("data/charmap.lut", std::vector<uint8_t>(CHAR_TABLE_BYTES + 10, 0x41));
    m = load_message(&ok);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(m, "data/charmap.lut: 118108 bytes, expected 118098\n");
}

}  // namespace
