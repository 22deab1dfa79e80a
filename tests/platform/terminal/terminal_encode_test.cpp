// terminal_encode_test.cpp -- frames encoded for a terminal, read back through libvterm
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/terminal.h"
#include "vterm_screen.h"

namespace {

std::vector<char> out_buffer(TERMINAL_FRAME_BYTES);

std::string encode(TerminalEncoder* enc, const DisplayCell* cells)
{
    size_t n = terminal_encode_frame(enc, cells, out_buffer.data(), out_buffer.size());
    return std::string(out_buffer.data(), n);
}

void random_frame(std::mt19937& rng, DisplayCell* cells)
{
    for (int i = 0; i < DISPLAY_CELLS; i++)
        cells[i] = {(uint8_t)rng(), (uint8_t)rng()};
}

// What every cell of a terminal shows now.
std::vector<Look> looks(const VtScreen& vt)
{
    Look none;
    for (Rgb& q : none.quadrant)
        q = {-1, -1, -1};
    std::vector<Look> all((size_t)vt.rows * vt.cols, none);
    for (int row = 0; row < vt.rows; row++)
        for (int col = 0; col < vt.cols; col++)
            vt_look(vt, row, col, &all[(size_t)row * vt.cols + col]);
    return all;
}

int changed(const std::vector<Look>& a, const std::vector<Look>& b)
{
    int n = 0;
    for (size_t i = 0; i < a.size(); i++)
        n += !(a[i] == b[i]);
    return n;
}

TEST(TerminalEncoder, RandomFramePairsReadBackExactly)
{
    for (int colours : {TERMINAL_COLOURS_16, TERMINAL_COLOURS_24BIT}) {
        SCOPED_TRACE(colours);
        bool truecolour = colours == TERMINAL_COLOURS_24BIT;
        // Any glyph in 24-bit colour; with 16 colours the glyphs whose halves are one colour each.
        auto glyph = [&](std::mt19937& r) { return truecolour ? (uint8_t)r() : blocky_glyph(r()); };
        std::mt19937 rng(1234 + colours);
        VtScreen vt(DISPLAY_ROWS, DISPLAY_COLS);
        static TerminalEncoder enc;
        terminal_encoder_init(&enc, DISPLAY_COLS, DISPLAY_ROWS, colours, TERMINAL_CHARSET_UTF8);
        static DisplayCell frame[DISPLAY_CELLS];
        for (auto& c : frame)
            c = {glyph(rng), (uint8_t)rng()};
        vt.feed(encode(&enc, frame));
        EXPECT_EQ(enc.cells_sent, DISPLAY_CELLS);
        expect_shows(vt, frame, truecolour);

        // Changes from a single cell to most of the screen, scattered and in runs: cursor moves of
        // every length, colour runs that start and stop. Exactly the cells whose look changes are sent.
        for (int pass = 0; pass < 24; pass++) {
            int changes = pass < 8 ? 1 + pass : (int)(rng() % 3000);
            for (int k = 0; k < changes; k++) {
                int at = (int)(rng() % DISPLAY_CELLS);
                int run = pass % 2 ? (int)(rng() % 12) + 1 : 1;
                for (int i = at; i < at + run && i < DISPLAY_CELLS; i++)
                    frame[i] = {glyph(rng), (uint8_t)(pass % 3 ? rng() : frame[i].attr)};
            }
            std::vector<Look> before = looks(vt);
            vt.feed(encode(&enc, frame));
            EXPECT_EQ(enc.cells_sent, changed(before, looks(vt))) << "pass " << pass;
            expect_shows(vt, frame, truecolour);
        }
        // Nothing scrolled or wrapped: the top row still shows row 0 after writing the bottom-right cell.
        VTermPos cursor = vt.cursor();
        EXPECT_LT(cursor.row, DISPLAY_ROWS);
    }
}

// What the layout wants a terminal cell to show, as libvterm reads it back: its glyph's first code
// point, its background and, unless the glyph is blank, its foreground.
bool shows_target(const VtScreen& vt, int row, int col, const TermCell& want)
{
    VTermScreenCell got = vt.cell(row, col);
    char g[8];
    terminal_glyph(want.glyph, TERMINAL_CHARSET_UTF8, g);
    uint32_t ch = first_code_point(g);
    auto rgb = [](uint32_t c) {
        return c & TERMINAL_RGB ? Rgb{(int)(c >> 16 & 255), (int)(c >> 8 & 255), (int)(c & 255)} : palette_rgb((int)(c & 15));
    };
    bool blank = ch == ' ';
    return (got.chars[0] == ch || (blank && got.chars[0] == 0)) && vt_rgb(got.bg) == rgb(want.bg) &&
           (blank || vt_rgb(got.fg) == rgb(want.fg));
}

TEST(TerminalEncoder, EveryLayoutShowsItsCellsAfterFramesOfScatteredChanges)
{
    // Frames changing a few cells to nearly all, scattered and in runs, in the wide and grid layouts at
    // their own size and centred in larger terminals, and in the compact one: changed cells are drawn a
    // colour at a time with moves of every kind, and libvterm must show exactly the laid-out cells,
    // nothing scrolled, the margins untouched.
    struct Config {
        int cols, rows, colours;
    };
    const Config configs[] = {
        {160, 50, TERMINAL_COLOURS_24BIT}, {164, 53, TERMINAL_COLOURS_16}, {80, 50, TERMINAL_COLOURS_24BIT},
        {101, 61, TERMINAL_COLOURS_16},    {100, 30, TERMINAL_COLOURS_24BIT},
    };
    std::mt19937 rng(1625);
    static DisplayCell frame[DISPLAY_CELLS];
    static TerminalEncoder enc;
    static TermCell before[TERMINAL_MAX_CELLS];
    for (const Config& c : configs) {
        SCOPED_TRACE(std::to_string(c.cols) + " x " + std::to_string(c.rows));
        VtScreen vt(c.rows, c.cols);
        terminal_encoder_init(&enc, c.cols, c.rows, c.colours, TERMINAL_CHARSET_UTF8);
        for (auto& cell : frame)
            cell = {(uint8_t)rng(), (uint8_t)rng()};
        for (int pass = 0; pass < 12; pass++) {
            memcpy(before, enc.target, sizeof before);
            int changes = pass == 0 ? 0 : pass < 4 ? pass * 7 : (int)(rng() % 2500);
            for (int k = 0; k < changes; k++) {
                int at = (int)(rng() % DISPLAY_CELLS), run = pass % 2 ? (int)(rng() % 9) + 1 : 1;
                // Few attributes, so that colours repeat as they do in pictures.
                for (int i = at; i < at + run && i < DISPLAY_CELLS; i++)
                    frame[i] = {(uint8_t)(rng() % 4 ? 0xDF + rng() % 3 : rng()), (uint8_t)(0x10 * (rng() % 4) + rng() % 3)};
            }
            vt.feed(encode(&enc, frame));
            const TerminalLayout& l = enc.layout;
            int mismatches = 0, changed = 0;
            for (int row = 0; row < l.rows; row++)
                for (int col = 0; col < l.cols; col++) {
                    const TermCell& want = enc.target[row * l.cols + col];
                    const TermCell& was = before[row * l.cols + col];
                    bool blank = want.glyph == ' ' && was.glyph == ' ';
                    changed += pass > 0 && (want.glyph != was.glyph || want.bg != was.bg || (!blank && want.fg != was.fg));
                    if (!shows_target(vt, l.top + row, l.left + col, want) && ++mismatches <= 5)
                        ADD_FAILURE() << "pass " << pass << " terminal cell " << col << "," << row;
                }
            EXPECT_EQ(mismatches, 0);
            if (pass > 0) {
                EXPECT_EQ(enc.cells_sent, changed) << "pass " << pass;
            }
            for (int row = 0; row < c.rows; row++)
                for (int col = 0; col < c.cols; col++)
                    if (row < l.top || row >= l.top + l.rows || col < l.left || col >= l.left + l.cols) {
                        ASSERT_EQ(vt.cell(row, col).chars[0], 0u) << "margin " << col << "," << row;
                    }
        }
    }
}

TEST(TerminalEncoder, UnchangedFrameSendsNothingAndRepaintSendsAll)
{
    static TerminalEncoder enc;
    terminal_encoder_init(&enc, DISPLAY_COLS, DISPLAY_ROWS, TERMINAL_COLOURS_24BIT, TERMINAL_CHARSET_UTF8);
    static DisplayCell frame[DISPLAY_CELLS];
    std::mt19937 rng(7);
    random_frame(rng, frame);
    frame[1234] = {' ', 0x12};
    std::string first = encode(&enc, frame);
    EXPECT_NE(first.find("\x1b[2J"), std::string::npos);   // the screen is cleared at start
    EXPECT_EQ(encode(&enc, frame), "");
    EXPECT_EQ(enc.cells_sent, 0);
    // Another glyph of the same look changes nothing either: a space and code 0 are both blank.
    frame[1234] = {0, 0x12};
    EXPECT_EQ(encode(&enc, frame), "");

    frame[1234] = {0xDF, 0x12};
    std::string one = encode(&enc, frame);
    EXPECT_EQ(enc.cells_sent, 1);
    EXPECT_EQ(one.find("\x1b[2J"), std::string::npos);     // never cleared inside a frame
    // Synchronized output around every frame that sends anything.
    EXPECT_EQ(one.rfind("\x1b[?2026h", 0), 0u);
    EXPECT_EQ(one.substr(one.size() - 8), "\x1b[?2026l");

    enc.repaint = 1;   // as after a resize
    VtScreen vt(DISPLAY_ROWS, DISPLAY_COLS);
    vt.feed("garbage everywhere\x1b[31;42m");
    vt.feed(encode(&enc, frame));
    EXPECT_EQ(enc.cells_sent, DISPLAY_CELLS);
    expect_shows(vt, frame, true);
}

TEST(TerminalEncoder, ColoursAndMovesOnlyWhereNeeded)
{
    static TerminalEncoder enc;
    terminal_encoder_init(&enc, DISPLAY_COLS, DISPLAY_ROWS, TERMINAL_COLOURS_24BIT, TERMINAL_CHARSET_UTF8);
    static DisplayCell frame[DISPLAY_CELLS];
    // Upper half blocks, yellow on blue: yellow above blue in every cell.
    for (auto& c : frame)
        c = {0xDF, 0x1E};
    std::string s = encode(&enc, frame);
    // One colour change for a uniform screen, and one cursor move per row (no auto-wrap).
    EXPECT_EQ(count(s, "\x1b[38;2;255;255;0;48;2;0;0;128m"), 1);
    EXPECT_EQ(count(s, "m"), 2);   // with the reset before the first clear
    EXPECT_EQ(count(s, "H"), DISPLAY_ROWS);
    EXPECT_EQ(count(s, "\u2580"), DISPLAY_CELLS);

    // A change three cells to the right of the last one is reached with a forward move; the colours
    // are already in effect. A lower half block is the upper one in swapped colours.
    frame[100] = {0xDC, 0x1E};
    frame[104] = {0xDC, 0x1E};
    s = encode(&enc, frame);
    EXPECT_NE(s.find("\x1b[38;2;0;0;128;48;2;255;255;0m\u2580\x1b[3C\u2580"), std::string::npos) << s;
    // Far apart on different rows: an absolute move.
    frame[0] = {0xDC, 0x1E};
    frame[3999] = {0xDC, 0x1E};
    s = encode(&enc, frame);
    EXPECT_NE(s.find("\x1b[1;1H\u2580\x1b[50;80H\u2580"), std::string::npos) << s;
    // A cell of one colour is a space on it, and keeps the foreground in effect.
    frame[10] = {' ', 0x4A};
    s = encode(&enc, frame);
    EXPECT_NE(s.find("\x1b[48;2;128;0;0m "), std::string::npos) << s;
    frame[11] = {0xDB, 0x4A};   // a full block: its foreground, as a space
    s = encode(&enc, frame);
    EXPECT_NE(s.find("\x1b[48;2;0;255;0m "), std::string::npos) << s;
}

TEST(TerminalEncoder, GridCentredOnLargerAndItsTopLeftWhenForcedOnSmallerTerminals)
{
    static DisplayCell frame[DISPLAY_CELLS];
    std::mt19937 rng(99);
    for (auto& c : frame)
        c = {blocky_glyph(rng()), (uint8_t)rng()};
    static TerminalEncoder enc;
    {
        VtScreen vt(61, 101);
        terminal_encoder_init(&enc, 101, 61, TERMINAL_COLOURS_16, TERMINAL_CHARSET_UTF8);
        vt.feed(encode(&enc, frame));
        EXPECT_EQ(enc.layout.kind, TERMINAL_LAYOUT_GRID);
        expect_shows(vt, frame, false, 10, 5);
        EXPECT_EQ(vt.cell(4, 50).chars[0], 0u);    // margins stay empty
        EXPECT_EQ(vt.cell(30, 9).chars[0], 0u);
        EXPECT_EQ(vt.cell(30, 90).chars[0], 0u);
    }
    for (auto size : {std::pair<int, int>{40, 30}, {80, 49}, {79, 50}}) {
        VtScreen vt(size.second, size.first);
        terminal_encoder_init(&enc, size.first, size.second, TERMINAL_COLOURS_24BIT, TERMINAL_CHARSET_UTF8);
        enc.layout_wanted = TERMINAL_LAYOUT_GRID;
        frame[0] = frame[DISPLAY_CELLS - 1] = {0xDF, 0x1E};
        vt.feed(encode(&enc, frame));
        frame[0] = frame[DISPLAY_CELLS - 1] = {0xDC, 0x1E};
        vt.feed(encode(&enc, frame));
        EXPECT_EQ(enc.cells_sent, 1);   // the bottom-right cell is off screen
        expect_shows(vt, frame, true);   // top-left part, nothing scrolled or wrapped
    }
}

TEST(TerminalEncoder, CodePage437GlyphsMatchTheSystemCodec)
{
    // The upper half and the printable ASCII range against glibc's own IBM437 table.
    iconv_t cd = iconv_open("UTF-32LE", "IBM437");
    ASSERT_NE(cd, (iconv_t)-1);
    for (int ch = 0x20; ch < 0x100; ch++) {
        if (ch == 0x7F)
            continue;
        char in = (char)ch;
        uint32_t cp = 0;
        char* inp = &in;
        char* outp = (char*)&cp;
        size_t inleft = 1, outleft = 4;
        ASSERT_NE(iconv(cd, &inp, &inleft, &outp, &outleft), (size_t)-1) << ch;
        EXPECT_EQ(expected_char((uint8_t)ch), cp) << std::hex << ch;
    }
    iconv_close(cd);
    // The console's pictures in the control range.
    EXPECT_EQ(expected_char(0x00), 0x20u);
    EXPECT_EQ(expected_char(0x07), 0x2022u);
    EXPECT_EQ(expected_char(0x09), 0x25CBu);
    EXPECT_EQ(expected_char(0x1E), 0x25B2u);
    EXPECT_EQ(expected_char(0x7F), 0x2302u);
}

TEST(TerminalEncoder, EmojiProneGlyphsAskForTextPresentation)
{
    for (int ch : {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0B, 0x0C, 0x12, 0x13, 0x1D}) {
        char g[8];
        int n = terminal_glyph((uint8_t)ch, TERMINAL_CHARSET_UTF8, g);
        ASSERT_EQ(n, 6) << ch;
        EXPECT_EQ(std::string(g + 3, 3), "\xEF\xB8\x8E") << ch;   // U+FE0E
    }
    char g[8];
    EXPECT_EQ(terminal_glyph(0xB0, TERMINAL_CHARSET_UTF8, g), 3);   // others stay plain
    EXPECT_EQ(terminal_glyph(TERMINAL_GLYPH_QUADRANTS + 6, TERMINAL_CHARSET_UTF8, g), 3);
}

TEST(TerminalEncoder, AsciiCharsetSendsOnePrintableByteEach)
{
    for (int ch = 0; ch < TERMINAL_GLYPH_QUADRANTS + 16; ch++) {
        char g[8];
        ASSERT_EQ(terminal_glyph((unsigned)ch, TERMINAL_CHARSET_ASCII, g), 1);
        EXPECT_TRUE(g[0] >= 0x20 && g[0] < 0x7F) << ch;
        if (ch >= 0x20 && ch < 0x7F) {
            EXPECT_EQ(g[0], ch);
        }
    }
    static TerminalEncoder enc;
    static DisplayCell frame[DISPLAY_CELLS];
    for (int i = 0; i < DISPLAY_CELLS; i++)
        frame[i] = {(uint8_t)i, (uint8_t)(i * 7)};
    for (int layout : {TERMINAL_LAYOUT_WIDE, TERMINAL_LAYOUT_GRID, TERMINAL_LAYOUT_COMPACT}) {
        terminal_encoder_init(&enc, 2 * DISPLAY_COLS, DISPLAY_ROWS, TERMINAL_COLOURS_16, TERMINAL_CHARSET_ASCII);
        enc.layout_wanted = layout;
        std::string s = encode(&enc, frame);
        for (unsigned char b : s)
            ASSERT_LT(b, 0x80) << layout;
    }
}

TEST(TerminalEncoder, RefusesABufferThatMayBeTooSmall)
{
    static TerminalEncoder enc;
    terminal_encoder_init(&enc, DISPLAY_COLS, DISPLAY_ROWS, TERMINAL_COLOURS_16, TERMINAL_CHARSET_UTF8);
    static DisplayCell frame[DISPLAY_CELLS];
    char small[64];
    EXPECT_EQ(terminal_encode_frame(&enc, frame, small, sizeof small), 0u);
    EXPECT_EQ(enc.repaint, 1);   // nothing changed: the next frame is still a full one
}

TEST(TerminalEncoder, WorstCaseFrameFitsTheBuffer)
{
    // Alternating changed cells with alternating colours and the longest glyphs, in every layout;
    // the compact one with a colour of its own in every cell.
    static TerminalEncoder enc;
    static DisplayCell frame[DISPLAY_CELLS];
    for (int i = 0; i < DISPLAY_CELLS; i++)
        frame[i] = {(uint8_t)(i % 3 ? 0x01 : 0xB1), (uint8_t)(i % 2 ? 0x7F : 0xF7 - i % 5)};
    for (int layout : {TERMINAL_LAYOUT_WIDE, TERMINAL_LAYOUT_GRID, TERMINAL_LAYOUT_COMPACT}) {
        terminal_encoder_init(&enc, 250, 70, TERMINAL_COLOURS_24BIT, TERMINAL_CHARSET_UTF8);
        enc.layout_wanted = layout;
        size_t full = terminal_encode_frame(&enc, frame, out_buffer.data(), out_buffer.size());
        EXPECT_GT(full, 0u);
        EXPECT_LE(full, (size_t)TERMINAL_FRAME_BYTES);
    }
}

}  // namespace
