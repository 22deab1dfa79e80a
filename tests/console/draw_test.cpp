// draw_test.cpp -- cells drawn into pixels in the palette the caller gives, at the caller's row pitch
#include <gtest/gtest.h>

#include <vector>

#include "platform/vga.h"

namespace {

TEST(ConsoleDrawCells, PaletteArgumentAndPitch)
{
    uint8_t palette[16][3] = {};
    palette[2][0] = 10, palette[2][1] = 20, palette[2][2] = 30;   // background
    palette[5][0] = 200, palette[5][1] = 100, palette[5][2] = 50; // foreground
    std::vector<DisplayCell> cells(DISPLAY_CELLS, DisplayCell{0xDD, 0x25});  // left half block
    const int pitch = 650;
    std::vector<uint32_t> px((size_t)pitch * 400, 0x12345678u);
    vga_draw_cells(cells.data(), palette, px.data(), pitch);
    // Rows lie `pitch` apart; the columns past 640 are left alone.
    EXPECT_EQ(px[(size_t)399 * pitch + 3], 0xFFC86432u);  // ink: left half of the last row's first cell
    EXPECT_EQ(px[(size_t)399 * pitch + 4], 0xFF0A141Eu);  // right half: background
    EXPECT_EQ(px[(size_t)5 * pitch + 640], 0x12345678u);
    std::vector<uint8_t> rgb(640 * 400 * 3);
    vga_draw_cells_rgb(cells.data(), palette, rgb.data());
    EXPECT_EQ(rgb[(639 * 1) * 3 + 0], 10);  // last column of a cell is background
    EXPECT_EQ(rgb[(399 * 640 + 632) * 3 + 1], 100);
}

}  // namespace
