// tables_test.cpp -- the generated conversion tables and font as the show loads them from data/
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "console/console.h"
#include "console/console_local.h"
#include "platform/vga.h"

namespace {

double linear(int c)
{
    double v = c / 255.0;
    return v <= 0.04045 ? v / 12.92 : pow((v + 0.055) / 1.055, 2.4);
}

// Loads the built tables once; every test here reads them as the show does.
struct BuiltTablesTest : ::testing::Test {
    static void SetUpTestSuite() { ASSERT_EQ(load_cell_tables(), 1) << "run from the folder holding data/"; }

    // Mean linear-light colour of a row of 80 cells converted from one flat colour.
    static void flat_appearance(int r, int g, int b, double out[3], std::vector<int>* colours = nullptr)
    {
        static std::vector<uint32_t> pixels(240 * 150);
        uint32_t p = (uint32_t)r | (uint32_t)g << 8 | (uint32_t)b << 16;
        for (int i = 0; i < 240 * 3; i++)
            pixels[i] = p;
        out[0] = out[1] = out[2] = 0;
        for (int column = 0; column < 80; column++) {
            uint8_t ch;
            uint8_t attr = convert_cell(pixels.data(), column, 0, &ch);
            for (int y = 0; y < 8; y++)
                for (int x = 0; x < 8; x++) {
                    int c = vga_font8x8[ch][y] >> (7 - x) & 1 ? attr & 15 : attr >> 4;
                    if (colours)
                        colours->push_back(c);
                    for (int k = 0; k < 3; k++)
                        out[k] += linear(vga_palette[c][k]) / (80 * 64);
                }
        }
    }
};

TEST_F(BuiltTablesTest, MixesArePatternOrWithinTheRamp)
{
    for (int i = 0; i < CELL_COLOURS; i++)
        ASSERT_TRUE(mix_table[i] == -1.0f || (mix_table[i] >= 0 && mix_table[i] <= 0.5f)) << i << " " << mix_table[i];
    // The pattern path only draws glyphs that stay one cell wide: no control-range pictures.
    for (int i = 0; i < CHAR_TABLE_BYTES; i++)
        ASSERT_GE(char_table[i], 0x20) << i;
}

TEST_F(BuiltTablesTest, ConsoleColoursRenderAsThemselves)
{
    for (int c = 0; c < 16; c++) {
        double mean[3];
        std::vector<int> colours;
        flat_appearance(vga_palette[c][0], vga_palette[c][1], vga_palette[c][2], mean, &colours);
        for (int shown : colours)
            ASSERT_EQ(shown, c) << "colour " << c;
    }
}

TEST_F(BuiltTablesTest, GreyRampGetsNoDarkerAsItBrightens)
{
    double last = -1;
    for (int g = 0; g < 256; g++) {
        double mean[3];
        flat_appearance(g, g, g, mean);
        double y = 0.2126 * mean[0] + 0.7152 * mean[1] + 0.0722 * mean[2];
        EXPECT_GE(y, last - 1e-9) << "grey " << g;
        last = y;
    }
    EXPECT_GT(last, 0.99);
}

TEST(ConsoleFont, BlanksAndBlocks)
{
    for (int r = 0; r < 8; r++) {
        EXPECT_EQ(vga_font8x8[0x00][r], 0) << r;
        EXPECT_EQ(vga_font8x8[0x20][r], 0) << r;
        EXPECT_EQ(vga_font8x8[0xDB][r], 0xFF) << r;
        EXPECT_EQ(vga_font8x8[0xDD][r], 0xF0) << r;  // left half
    }
    // The glyphs made from the 8 x 16 font are there: three bars for 0xF0.
    int bars = 0;
    for (int r = 0; r < 8; r++)
        bars += vga_font8x8[0xF0][r] != 0 && (r == 0 || vga_font8x8[0xF0][r - 1] == 0);
    EXPECT_EQ(bars, 3);
}

}  // namespace
