// terminal_layout_test.cpp -- the layouts chosen for each terminal size, and what each one shows
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/terminal.h"
#include "platform/terminal/terminal_cells.h"
#include "vterm_screen.h"

namespace {

std::vector<char> out_buffer(TERMINAL_FRAME_BYTES);

std::string encode(TerminalEncoder* enc, const DisplayCell* cells)
{
    size_t n = terminal_encode_frame(enc, cells, out_buffer.data(), out_buffer.size());
    return std::string(out_buffer.data(), n);
}

struct Case {
    int cols, rows, cell_w, cell_h, wanted;
    int kind, left, top, w, h;
};

TEST(TerminalLayout, ChosenBySizeAndCellShape)
{
    // Compact sizes by hand: cols = 1.6 x rows x cell_h / cell_w, else rows = cols x cell_w / (1.6 x cell_h),
    // rounded to the nearest cell, then centred.
    const Case cases[] = {
        {40, 12, 0, 0, TERMINAL_LAYOUT_AUTO, TERMINAL_LAYOUT_COMPACT, 1, 0, 38, 12},    // 38.4 columns
        {80, 24, 0, 0, TERMINAL_LAYOUT_AUTO, TERMINAL_LAYOUT_COMPACT, 1, 0, 77, 24},    // 76.8
        {80, 50, 0, 0, TERMINAL_LAYOUT_AUTO, TERMINAL_LAYOUT_GRID, 0, 0, 80, 50},
        {120, 40, 0, 0, TERMINAL_LAYOUT_AUTO, TERMINAL_LAYOUT_COMPACT, 0, 1, 120, 38},  // 128 too wide: 37.5 rows
        {160, 50, 0, 0, TERMINAL_LAYOUT_AUTO, TERMINAL_LAYOUT_WIDE, 0, 0, 160, 50},
        {250, 70, 0, 0, TERMINAL_LAYOUT_AUTO, TERMINAL_LAYOUT_WIDE, 45, 10, 160, 50},
        {159, 50, 0, 0, TERMINAL_LAYOUT_AUTO, TERMINAL_LAYOUT_GRID, 39, 0, 80, 50},
        {200, 40, 0, 0, TERMINAL_LAYOUT_AUTO, TERMINAL_LAYOUT_COMPACT, 36, 0, 128, 40},
        {39, 12, 0, 0, TERMINAL_LAYOUT_AUTO, TERMINAL_LAYOUT_TOO_SMALL, 0, 0, 0, 0},
        {40, 11, 0, 0, TERMINAL_LAYOUT_AUTO, TERMINAL_LAYOUT_TOO_SMALL, 0, 0, 0, 0},
        // Cells of 8 x 17 pixels reported: 81.6 columns do not fit, so 23.5 rows.
        {80, 24, 640, 408, TERMINAL_LAYOUT_AUTO, TERMINAL_LAYOUT_COMPACT, 0, 0, 80, 24},
        // Square cells: half blocks make pixels twice as wide as tall.
        {80, 24, 800, 240, TERMINAL_LAYOUT_AUTO, TERMINAL_LAYOUT_COMPACT, 21, 0, 38, 24},
        // Forced layouts: the upper left part where the terminal is too small.
        {80, 24, 0, 0, TERMINAL_LAYOUT_WIDE, TERMINAL_LAYOUT_WIDE, 1, 0, 77, 24},
        // Wide with cells of 8 x 17 pixels: 50 rows would be 2720 pixels tall, too tall for
        // 160 columns of 8; 160 x 8 / (1.6 x 17) = 47.06 rows.
        {160, 50, 1280, 850, TERMINAL_LAYOUT_AUTO, TERMINAL_LAYOUT_WIDE, 0, 1, 160, 47},
        {160, 50, 0, 0, TERMINAL_LAYOUT_GRID, TERMINAL_LAYOUT_GRID, 40, 0, 80, 50},
        {40, 30, 640, 510, TERMINAL_LAYOUT_GRID, TERMINAL_LAYOUT_GRID, 0, 0, 40, 30},
        {160, 50, 0, 0, TERMINAL_LAYOUT_COMPACT, TERMINAL_LAYOUT_COMPACT, 0, 0, 160, 50},
        {30, 10, 0, 0, TERMINAL_LAYOUT_COMPACT, TERMINAL_LAYOUT_TOO_SMALL, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.cols) + " x " + std::to_string(c.rows) + " wanted " + std::to_string(c.wanted));
        TerminalLayout l;
        int cw = c.cell_w ? c.cell_w / c.cols : 0, ch = c.cell_h ? c.cell_h / c.rows : 0;
        terminal_layout_choose(&l, c.wanted, c.cols, c.rows, cw, ch, TERMINAL_CHARSET_UTF8);
        EXPECT_EQ(l.kind, c.kind);
        EXPECT_EQ(l.left, c.left);
        EXPECT_EQ(l.top, c.top);
        EXPECT_EQ(l.cols, c.w);
        EXPECT_EQ(l.rows, c.h);
        if (l.kind == TERMINAL_LAYOUT_COMPACT || l.kind == TERMINAL_LAYOUT_WIDE) {
            EXPECT_EQ(l.pixel_cols, l.cols);
            EXPECT_EQ(l.pixel_rows, 2 * l.rows);
        }
        if (l.kind == TERMINAL_LAYOUT_GRID) {   // the whole 80 x 100 picture, even where it is cut
            EXPECT_EQ(l.pixel_cols, 80);
            EXPECT_EQ(l.pixel_rows, 100);
        }
    }
    // Without half blocks each terminal cell is one pixel.
    TerminalLayout l;
    terminal_layout_choose(&l, TERMINAL_LAYOUT_AUTO, 80, 24, 0, 0, TERMINAL_CHARSET_ASCII);
    EXPECT_EQ(l.cols, 77);
    EXPECT_EQ(l.pixel_rows, 24);
    terminal_layout_choose(&l, TERMINAL_LAYOUT_AUTO, 80, 50, 0, 0, TERMINAL_CHARSET_ASCII);
    EXPECT_EQ(l.kind, TERMINAL_LAYOUT_GRID);
    EXPECT_EQ(l.pixel_rows, 50);
    EXPECT_EQ(display_layout_parse("wide"), TERMINAL_LAYOUT_WIDE);
    EXPECT_EQ(display_layout_parse("compact"), TERMINAL_LAYOUT_COMPACT);
    EXPECT_EQ(display_layout_parse("too small"), -1);
    EXPECT_EQ(display_layout_parse("Wide"), -1);
}

TEST(TerminalLayout, GridShowsEachCellAsItsBestSplitOfQuadrants)
{
    // One terminal cell per console cell. In 24-bit colour its four quadrants (4 x 4 glyph pixels,
    // each the mean of its pixels in linear light) are split into the two groups whose means fit
    // them best, and drawn as a block element in those means. Worked out by hand from the font, white
    // on black: 'A' inks 10, 8, 6 and 6 of its quadrants' 16 pixels (sRGB 207, 188, 165, 165), and
    // of the splits the halves fit best, upper 198 over lower 165 (a weighted error of 1629 against
    // 3177 for the upper left one alone); code 0xC0 inks 4, 4, 1, 4: the lower left quadrant alone,
    // 71 on 137; '/' inks 3, 5, 5, 0: the lower right one, black on 142; '\' inks 7, 1, 0, 5: the
    // diagonals, 165 on 49. A left half block is white on blue exactly, the upper and lower ones
    // yellow over blue and blue over yellow; the light shade inks 4 of every quadrant (137, a space);
    // a full block is a space on its foreground.
    struct Want {
        DisplayCell cell;
        uint32_t ch;
        Rgb fg, bg;
    };
    const Want wants[] = {
        {{'A', 0x0F}, 0x2580, {198, 198, 198}, {165, 165, 165}},
        {{0xC0, 0x0F}, 0x2596, {71, 71, 71}, {137, 137, 137}},
        {{'/', 0x0F}, 0x2597, {0, 0, 0}, {142, 142, 142}},
        {{'\\', 0x0F}, 0x259A, {165, 165, 165}, {49, 49, 49}},
        {{0xDD, 0x1F}, 0x258C, {255, 255, 255}, {0, 0, 128}},
        {{0xDF, 0x1E}, 0x2580, {255, 255, 0}, {0, 0, 128}},
        {{0xDC, 0x1E}, 0x2580, {0, 0, 128}, {255, 255, 0}},
        {{0xB0, 0x0F}, ' ', {-1, -1, -1}, {137, 137, 137}},
        {{0xDB, 0x4A}, ' ', {-1, -1, -1}, {0, 255, 0}},
    };
    const int kinds = (int)(sizeof wants / sizeof wants[0]);
    static DisplayCell frame[DISPLAY_CELLS];
    for (int i = 0; i < DISPLAY_CELLS; i++)
        frame[i] = wants[i % kinds].cell;
    static TerminalEncoder enc;
    VtScreen vt(50, 80);
    terminal_encoder_init(&enc, 80, 50, TERMINAL_COLOURS_24BIT, TERMINAL_CHARSET_UTF8);
    vt.feed(encode(&enc, frame));
    ASSERT_EQ(enc.layout.kind, TERMINAL_LAYOUT_GRID);
    int mismatches = 0;
    for (int i = 0; i < DISPLAY_CELLS; i++) {
        const Want& w = wants[i % kinds];
        VTermScreenCell c = vt.cell(i / 80, i % 80);
        bool ok = c.chars[0] == w.ch && vt_rgb(c.bg) == w.bg && (w.ch == ' ' || vt_rgb(c.fg) == w.fg);
        if (!ok && ++mismatches <= 5)
            ADD_FAILURE() << "cell " << i % 80 << "," << i / 80 << " glyph " << (int)w.cell.ch << " shows U+" << std::hex
                          << c.chars[0];
    }
    EXPECT_EQ(mismatches, 0);
    // In 16 colours upper half blocks of the upper and lower halves; a half of one colour shows it exactly.
    VtScreen vt16(50, 80);
    terminal_encoder_init(&enc, 80, 50, TERMINAL_COLOURS_16, TERMINAL_CHARSET_UTF8);
    vt16.feed(encode(&enc, frame));
    for (int col = 4; col < 9; col++) {
        VTermScreenCell c = vt16.cell(0, col);
        SCOPED_TRACE(col);
        if (col == 4) {   // a left half block: both halves mixed, dithered over the same two colours
            EXPECT_TRUE(c.chars[0] == ' ' || c.chars[0] == 0x2580);
        } else if (col == 5 || col == 6) {
            EXPECT_EQ(c.chars[0], 0x2580u);
            EXPECT_TRUE(vt_colour_is(c.fg, col == 5 ? 14 : 1, false) && vt_colour_is(c.bg, col == 5 ? 1 : 14, false));
        } else if (col == 8) {
            EXPECT_EQ(c.chars[0], (uint32_t)' ');
            EXPECT_TRUE(vt_colour_is(c.bg, 10, false));
        }
    }
}

TEST(TerminalLayout, WideShowsEveryQuadrantOfEveryCellAsAHalfBlock)
{
    // Each terminal cell is one half of a console cell: its upper and lower quadrant, each the mean of
    // its 4 x 4 glyph pixels. Left half blocks (the left four columns inked) in white on blue: the
    // left halves are white, the right halves blue, top and bottom alike, so every cell is a space.
    // A lower half block in yellow on red: upper halves red, lower yellow, as upper half blocks.
    static DisplayCell frame[DISPLAY_CELLS];
    for (int i = 0; i < DISPLAY_CELLS; i++)
        frame[i] = i % 2 ? DisplayCell{0xDC, 0x4E} : DisplayCell{0xDD, 0x1F};
    VtScreen vt(52, 164);
    static TerminalEncoder enc;
    terminal_encoder_init(&enc, 164, 52, TERMINAL_COLOURS_16, TERMINAL_CHARSET_UTF8);
    vt.feed(encode(&enc, frame));
    ASSERT_EQ(enc.layout.kind, TERMINAL_LAYOUT_WIDE);
    ASSERT_EQ(enc.layout.cols, 160);
    ASSERT_EQ(enc.layout.rows, 50);
    int mismatches = 0;
    for (int i = 0; i < DISPLAY_CELLS; i++) {
        int row = i / DISPLAY_COLS, col = i % DISPLAY_COLS;
        for (int half = 0; half < 2; half++) {
            VTermScreenCell c = vt.cell(1 + row, 2 + 2 * col + half);
            bool ok;
            if (i % 2)
                ok = c.chars[0] == 0x2580 && vt_colour_is(c.fg, 4, false) && vt_colour_is(c.bg, 14, false);
            else
                ok = c.chars[0] == ' ' && vt_colour_is(c.bg, half ? 1 : 15, false);
            if (!ok && ++mismatches <= 5)
                ADD_FAILURE() << "cell " << col << "," << row << " half " << half;
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(vt.cell(0, 80).chars[0], 0u);   // the margins stay empty
    EXPECT_EQ(vt.cell(20, 1).chars[0], 0u);
    EXPECT_EQ(vt.cell(20, 162).chars[0], 0u);
}

TEST(TerminalLayout, CompactMixesCellsInLinearLight)
{
    static DisplayCell frame[DISPLAY_CELLS];
    static TerminalEncoder enc;
    // Left half blocks, white on black, in a terminal of 80 x 25: every half block covers exactly one
    // cell, half white and half black, which is 0.5 in linear light: sRGB 187.5, sent as 188.
    for (auto& c : frame)
        c = {0xDD, 0x0F};
    for (int colours : {TERMINAL_COLOURS_24BIT, TERMINAL_COLOURS_16}) {
        VtScreen vt(25, 80);
        terminal_encoder_init(&enc, 80, 25, colours, TERMINAL_CHARSET_UTF8);
        vt.feed(encode(&enc, frame));
        ASSERT_EQ(enc.layout.kind, TERMINAL_LAYOUT_COMPACT);
        ASSERT_EQ(enc.layout.cols, 80);
        ASSERT_EQ(enc.layout.rows, 25);
        if (colours == TERMINAL_COLOURS_24BIT) {
            VTermScreenCell c = vt.cell(12, 40);
            EXPECT_EQ(c.chars[0], (uint32_t)' ');
            ASSERT_TRUE(VTERM_COLOR_IS_RGB(&c.bg));
            EXPECT_EQ(c.bg.rgb.red, 188);
            EXPECT_EQ(c.bg.rgb.green, 188);
            EXPECT_EQ(c.bg.rgb.blue, 188);
        } else {
            // The 2 x 2 tiles of picture pixels (two upper half blocks) stay grey and mix to about
            // the same light: each pixel a grey console colour, their mean within 0.05 of 0.5.
            double light = 0;
            for (int col = 40; col < 42; col++) {
                VTermScreenCell c = vt.cell(12, col);
                int pixels[2] = {vt_console_colour(c.chars[0] == 0x2580 ? c.fg : c.bg, false),
                                 vt_console_colour(c.bg, false)};
                for (int p : pixels) {
                    ASSERT_TRUE(p == 0 || p == 7 || p == 8 || p == 15) << p;
                    double v = p == 0 ? 0 : p == 15 ? 255 : p == 7 ? 192 : 128;
                    v /= 255;
                    light += (v <= 0.04045 ? v / 12.92 : pow((v + 0.055) / 1.055, 2.4)) / 4;
                }
            }
            EXPECT_NEAR(light, 0.5, 0.05);
        }
    }
    // Top half red, bottom half blue on 80 x 24: 48 picture rows over 100 quadrant rows; picture
    // row 23 ends at quadrant row 50 exactly, so rows 0-11 are red and 12-23 blue, nothing mixed.
    for (int i = 0; i < DISPLAY_CELLS; i++)
        frame[i] = {' ', (uint8_t)(i < DISPLAY_CELLS / 2 ? 0xC0 : 0x90)};
    VtScreen vt(24, 80);
    terminal_encoder_init(&enc, 80, 24, TERMINAL_COLOURS_16, TERMINAL_CHARSET_UTF8);
    vt.feed(encode(&enc, frame));
    for (int row = 0; row < 24; row++)
        for (int col = 1; col < 78; col++) {
            VTermScreenCell c = vt.cell(row, col);
            ASSERT_EQ(c.chars[0], (uint32_t)' ') << row << "," << col;
            ASSERT_TRUE(vt_colour_is(c.bg, row < 12 ? 12 : 9, false)) << row << "," << col;
        }
    EXPECT_EQ(vt.cell(10, 0).chars[0], 0u);
    EXPECT_EQ(vt.cell(10, 79).chars[0], 0u);
    // A border of a third colour one cell wide shows in the outermost half blocks.
    for (int i = 0; i < DISPLAY_COLS; i++)
        frame[i] = {' ', 0xA0};
    vt.feed(encode(&enc, frame));
    VTermScreenCell top = vt.cell(0, 40);
    EXPECT_EQ(top.chars[0], 0x2580u);
    EXPECT_TRUE(vt_colour_is(top.fg, 10, false));
    EXPECT_TRUE(vt_colour_is(top.bg, 12, false));
}

TEST(TerminalLayout, TooSmallSaysWhatIsNeededOnceAndDrawsNothing)
{
    static DisplayCell frame[DISPLAY_CELLS];
    static TerminalEncoder enc;
    terminal_encoder_init(&enc, 39, 12, TERMINAL_COLOURS_16, TERMINAL_CHARSET_UTF8);
    std::string s = encode(&enc, frame);
    EXPECT_NE(s.find("too small: 39 x 12, needs 40 x 12"), std::string::npos);
    frame[0].ch = 'x';
    EXPECT_EQ(encode(&enc, frame), "");
}

TEST(TerminalLayout, ResizesChooseAgainAndFillTheNewLayoutExactly)
{
    static DisplayCell frame[DISPLAY_CELLS];
    std::mt19937 rng(3);
    for (auto& c : frame)
        c = {(uint8_t)rng(), (uint8_t)rng()};
    static TerminalEncoder enc;
    terminal_encoder_init(&enc, 160, 50, TERMINAL_COLOURS_24BIT, TERMINAL_CHARSET_UTF8);
    const int sizes[][2] = {{160, 50}, {80, 24}, {250, 70}, {40, 12}, {120, 40}, {80, 50}, {39, 11}, {160, 50}};
    for (auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size[0]) + " x " + std::to_string(size[1]));
        enc.cols = size[0];
        enc.rows = size[1];
        enc.repaint = 1;
        VtScreen vt(size[1], size[0]);
        vt.feed("leftovers\r\n\x1b[44mof the last size");
        vt.feed(encode(&enc, frame));
        const TerminalLayout& l = enc.layout;
        EXPECT_EQ(enc.cells_sent, l.cols * l.rows);
        for (int row = 0; row < size[1]; row++)
            for (int col = 0; col < size[0]; col++) {
                bool inside = col >= l.left && col < l.left + l.cols && row >= l.top && row < l.top + l.rows;
                uint32_t ch = vt.cell(row, col).chars[0];
                if (!inside && l.kind != TERMINAL_LAYOUT_TOO_SMALL) {
                    ASSERT_EQ(ch, 0u) << row << "," << col;   // cleared, never drawn
                }
                if (inside) {
                    ASSERT_NE(ch, 0u) << row << "," << col;
                }
            }
        VTermPos cursor = vt.cursor();
        EXPECT_LT(cursor.row, size[1]);   // nothing scrolled
        EXPECT_EQ(encode(&enc, frame), "");
    }
}

TEST(TerminalLayout, LookedUpCellsAreTheQuadrantsWorkedOutForEveryCharacterAndAttribute)
{
    // Every character and attribute, in an even and in an odd column, in shuffled frames: the grid
    // and the wide layout, 24-bit and 16 colours, and a grid cut to a smaller terminal, drawn from
    // the tables and worked out from the quadrants give the same terminal cells.
    struct Config {
        int cols, rows, colours, wanted;
    };
    const Config configs[] = {
        {80, 50, TERMINAL_COLOURS_24BIT, TERMINAL_LAYOUT_AUTO}, {80, 50, TERMINAL_COLOURS_16, TERMINAL_LAYOUT_AUTO},
        {160, 50, TERMINAL_COLOURS_24BIT, TERMINAL_LAYOUT_AUTO}, {160, 50, TERMINAL_COLOURS_16, TERMINAL_LAYOUT_AUTO},
        {40, 30, TERMINAL_COLOURS_16, TERMINAL_LAYOUT_GRID},
    };
    std::mt19937 rng(25);
    std::vector<int> keys[2];
    for (auto& k : keys) {
        for (int key = 0; key < 65536; key++)
            k.push_back(key);
        std::shuffle(k.begin(), k.end(), rng);
    }
    static DisplayCell frame[DISPLAY_CELLS];
    static TermCell looked_up[TERMINAL_MAX_CELLS], worked_out[TERMINAL_MAX_CELLS];
    for (const Config& c : configs) {
        SCOPED_TRACE(std::to_string(c.cols) + " x " + std::to_string(c.rows) + " colours " + std::to_string(c.colours));
        TerminalLayout l;
        terminal_layout_choose(&l, c.wanted, c.cols, c.rows, 0, 0, TERMINAL_CHARSET_UTF8);
        int frames = c.cols == 40 ? 1 : 65536 / (DISPLAY_CELLS / 2) + 1;
        int mismatches = 0;
        for (int f = 0; f < frames; f++) {
            for (int i = 0; i < DISPLAY_CELLS; i++) {
                int key = keys[i & 1][(size_t)(f * DISPLAY_CELLS / 2 + i / 2) % 65536];   // even and odd columns
                frame[i] = {(uint8_t)(key >> 8), (uint8_t)key};
            }
            terminal_layout_use_tables(1);
            terminal_layout_draw(&l, frame, c.colours, TERMINAL_CHARSET_UTF8, looked_up);
            terminal_layout_use_tables(0);
            terminal_layout_draw(&l, frame, c.colours, TERMINAL_CHARSET_UTF8, worked_out);
            terminal_layout_use_tables(1);
            for (int i = 0; i < l.cols * l.rows; i++) {
                const TermCell &a = looked_up[i], &b = worked_out[i];
                if ((a.fg != b.fg || a.bg != b.bg || a.glyph != b.glyph) && ++mismatches <= 5)
                    ADD_FAILURE() << "frame " << f << " terminal cell " << i % l.cols << "," << i / l.cols;
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

TEST(TerminalLayout, ScaledLayoutsRedrawnWhereCellsChangedEqualWholeFrames)
{
    // The scaled layouts work out again only what changed cells reach. Frames changing from one cell
    // to most, scattered and in runs, drawn that way into the same cells must equal each frame
    // worked out whole: compact in both colour modes, wide on cells of 8 x 17 pixels, plain ASCII.
    struct Config {
        int cols, rows, cell_w, cell_h, colours, charset;
    };
    const Config configs[] = {
        {80, 24, 0, 0, TERMINAL_COLOURS_24BIT, TERMINAL_CHARSET_UTF8},
        {77, 30, 0, 0, TERMINAL_COLOURS_16, TERMINAL_CHARSET_UTF8},
        {160, 50, 8, 17, TERMINAL_COLOURS_24BIT, TERMINAL_CHARSET_UTF8},
        {80, 50, 0, 0, TERMINAL_COLOURS_16, TERMINAL_CHARSET_ASCII},
        {40, 12, 0, 0, TERMINAL_COLOURS_24BIT, TERMINAL_CHARSET_ASCII},
    };
    std::mt19937 rng(77);
    const int FRAMES = 14;
    static DisplayCell frames[FRAMES][DISPLAY_CELLS];
    static TermCell changed_way[FRAMES][TERMINAL_MAX_CELLS], whole_way[TERMINAL_MAX_CELLS];
    static TermCell out[TERMINAL_MAX_CELLS];
    for (const Config& c : configs) {
        SCOPED_TRACE(std::to_string(c.cols) + " x " + std::to_string(c.rows));
        TerminalLayout l;
        terminal_layout_choose(&l, TERMINAL_LAYOUT_AUTO, c.cols, c.rows, c.cell_w, c.cell_h, c.charset);
        for (auto& cell : frames[0])
            cell = {(uint8_t)rng(), (uint8_t)rng()};
        for (int f = 1; f < FRAMES; f++) {
            memcpy(frames[f], frames[f - 1], sizeof frames[f]);
            int changes = f < 4 ? f - 1 : (int)(rng() % 3000);
            for (int k = 0; k < changes; k++) {
                int at = (int)(rng() % DISPLAY_CELLS), run = f % 2 ? (int)(rng() % 12) + 1 : 1;
                for (int i = at; i < at + run && i < DISPLAY_CELLS; i++)
                    frames[f][i] = {(uint8_t)rng(), (uint8_t)rng()};
            }
        }
        // All frames the changed-cells way into the same cells first, then each worked out whole.
        terminal_layout_use_tables(1);
        for (int f = 0; f < FRAMES; f++) {
            terminal_layout_draw(&l, frames[f], c.colours, c.charset, out);
            memcpy(changed_way[f], out, sizeof out);
        }
        // Cells emptied in between (as a new encoder's are) still get the whole picture.
        memset(out, 0, sizeof out);
        terminal_layout_draw(&l, frames[FRAMES - 1], c.colours, c.charset, out);
        EXPECT_EQ(memcmp(out, changed_way[FRAMES - 1], sizeof(TermCell) * (size_t)(l.cols * l.rows)), 0);
        terminal_layout_use_tables(0);
        int mismatches = 0;
        for (int f = 0; f < FRAMES; f++) {
            terminal_layout_draw(&l, frames[f], c.colours, c.charset, whole_way);
            for (int i = 0; i < l.cols * l.rows; i++) {
                const TermCell &a = changed_way[f][i], &b = whole_way[i];
                if ((a.fg != b.fg || a.bg != b.bg || a.glyph != b.glyph) && ++mismatches <= 5)
                    ADD_FAILURE() << "frame " << f << " terminal cell " << i % l.cols << "," << i / l.cols;
            }
        }
        terminal_layout_use_tables(1);
        EXPECT_EQ(mismatches, 0);
    }
}

}  // namespace
