// terminal_pixels_test.cpp -- the pixel path: the terminal's replies taken out of the input, the placement, and
// both encoders decoded back into pixels by decoders of the test's own
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>
#include <zlib.h>

#include "platform/terminal.h"
#include "platform/terminal_pixels.h"

namespace {

// ---- the reply parser ----

struct Fed {
    std::string keys;  // what went on to the key decoder
};

// Feeds the bytes in pieces cut at `cuts`, all at time now.
Fed feed(TerminalReplies* r, const std::string& bytes, const std::vector<size_t>& cuts, uint32_t now = 1000)
{
    Fed f;
    size_t at = 0;
    std::vector<size_t> ends = cuts;
    ends.push_back(bytes.size());
    for (size_t end : ends) {
        std::vector<uint8_t> out(end - at + TERMINAL_REPLY_HOLD);
        size_t n = terminal_replies_feed(r, (const uint8_t*)bytes.data() + at, end - at, now, out.data());
        f.keys.append((const char*)out.data(), n);
        at = end;
    }
    return f;
}

const std::string XTERM_VT340 = "\x1b[?2;0;1000;1000S\x1b[?63;1;2;4;6;9;15;16;22;28c";
const std::string KITTY = "\x1b_Gi=31;OK\x1b\\\x1b_Gi=32;ENOENT:no such object\x1b\\\x1b[6;18;9t\x1b[4;396;639t\x1b[?62;c";

TEST(TerminalReplies, ReadWholeAndSplitAtEveryByte)
{
    for (size_t cut = 0; cut <= KITTY.size(); cut++) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        TerminalReplies r;
        terminal_replies_init(&r, 1, 1000);
        std::vector<size_t> cuts;
        if (cut > 0 && cut < KITTY.size())
            cuts.push_back(cut);
        EXPECT_EQ(feed(&r, KITTY, cuts).keys, "");
        EXPECT_EQ(r.kitty, 1);
        EXPECT_EQ(r.kitty_shm, -1);
        EXPECT_EQ(r.cell_w, 9);
        EXPECT_EQ(r.cell_h, 18);
        EXPECT_EQ(r.area_w, 639);
        EXPECT_EQ(r.area_h, 396);
        EXPECT_EQ(r.sixel, 0);
        EXPECT_EQ(r.da1, 1);
        EXPECT_EQ(r.awaiting, 0);
    }
    TerminalReplies r;
    terminal_replies_init(&r, 1, 1000);
    std::vector<size_t> every;
    for (size_t i = 1; i < XTERM_VT340.size(); i++)
        every.push_back(i);
    EXPECT_EQ(feed(&r, XTERM_VT340, every).keys, "");
    EXPECT_EQ(r.sixel, 1);
    EXPECT_EQ(r.max_w, 1000);
    EXPECT_EQ(r.max_h, 1000);
    EXPECT_EQ(r.kitty, 0);
    EXPECT_EQ(r.replies, 2);
}

TEST(TerminalReplies, KeysAroundAndBetweenRepliesPassInOrder)
{
    // Keys typed while the answers come, replies out of the order asked, garbage between them.
    const std::string in = std::string("a\x1b[C") + "\x1b[?62;4c" + "\x1b[6;17;8t" + "q\x1bOD" + "\x1b[?2;3;0S" +
                           "\x1b[1;5D" + "\x1b_Gi=99;OK\x1b\\" + "\x1bP1$r0m\x1b\\" + "\x1b]11;rgb:0/0/0\x07" + "\x1b[?1;0;1024S" +
                           "\x1b[" + std::string(100, '9') + "m" + "z";
    for (size_t cut = 0; cut < in.size(); cut += 3) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        TerminalReplies r;
        terminal_replies_init(&r, 1, 1000);
        Fed f = feed(&r, in, cut ? std::vector<size_t>{cut} : std::vector<size_t>{});
        // Only the keys and the key sequences go on; the over-long sequence is dropped whole.
        EXPECT_EQ(f.keys, "a\x1b[Cq\x1bOD\x1b[1;5Dz");
        EXPECT_EQ(r.sixel, 1);
        EXPECT_EQ(r.cell_w, 8);
        EXPECT_EQ(r.cell_h, 17);
        EXPECT_EQ(r.max_w, 0);       // status 3 is a failure, item 1 is not the geometry
        EXPECT_EQ(r.kitty, 0);       // an answer to another image id
    }
    // What went on decodes to the keys themselves.
    TerminalKeys keys;
    terminal_keys_init(&keys);
    display_use(nullptr);
    display_clear_keys();
    const std::string passed = "a\x1b[Cq\x1bOD\x1b[1;5Dz";
    terminal_keys_feed(&keys, (const uint8_t*)passed.data(), passed.size(), 0);
    std::vector<int> got;
    while (display_key_waiting())
        got.push_back(display_read_key());
    EXPECT_EQ(got, std::vector<int>({'a', 224, 77, 'q', 224, 75, 'z'}));
}

TEST(TerminalReplies, NothingIsHeldForEver)
{
    uint8_t out[TERMINAL_REPLY_HOLD];
    // No answer at all: the wait ends on its own.
    TerminalReplies r;
    terminal_replies_init(&r, 1, 1000);
    EXPECT_EQ(terminal_replies_tick(&r, 1000 + TERMINAL_REPLY_AWAIT_MS - 1, out), 0u);
    EXPECT_EQ(r.awaiting, 1);
    terminal_replies_tick(&r, 1000 + TERMINAL_REPLY_AWAIT_MS, out);
    EXPECT_EQ(r.awaiting, 0);
    EXPECT_EQ(r.da1, 0);

    // While answers are due a lone Escape waits for the rest of a reply, then is a key after all.
    terminal_replies_init(&r, 1, 1000);
    EXPECT_EQ(feed(&r, "\x1b", {}, 1000).keys, "");
    EXPECT_EQ(terminal_replies_tick(&r, 1000 + TERMINAL_REPLY_ESCAPE_MS - 1, out), 0u);
    ASSERT_EQ(terminal_replies_tick(&r, 1000 + TERMINAL_REPLY_ESCAPE_MS, out), 1u);
    EXPECT_EQ(out[0], 0x1b);
    // Outside the wait it goes on at once: the key decoder times it.
    terminal_replies_init(&r, 0, 2000);
    EXPECT_EQ(feed(&r, "\x1b", {}, 2000).keys, "\x1b");

    // A string never ended is dropped in time, and keys flow again.
    terminal_replies_init(&r, 0, 1000);
    EXPECT_EQ(feed(&r, "\x1b_Gi=31;O", {}, 1000).keys, "");
    EXPECT_EQ(feed(&r, "xyz", {}, 1100).keys, "");   // inside the string
    EXPECT_EQ(terminal_replies_tick(&r, 1000 + TERMINAL_REPLY_STALE_MS, out), 0u);
    EXPECT_EQ(r.held_len, 0);
    EXPECT_EQ(feed(&r, "k", {}, 2100).keys, "k");
    // An Escape at the end of a string cut short may have been the user's: handed on.
    EXPECT_EQ(feed(&r, "\x1bP1$r\x1b", {}, 3000).keys, "");
    EXPECT_EQ(terminal_replies_tick(&r, 3000 + TERMINAL_REPLY_STALE_MS, out), 1u);
}

// ---- placement ----

TEST(TerminalPixels, PlacementTakesTheLargestWholeScaleThatFits)
{
    struct Case {
        int cols, rows, cw, ch, max_w, max_h, sixel;
        PixelPlace want;
    };
    const Case cases[] = {
        {80, 24, 9, 18, 0, 0, 0, {1, 4, 0, 72, 23}},        // kitty: 720 x 432
        {160, 50, 9, 18, 0, 0, 0, {2, 8, 2, 143, 45}},      // 1440 x 900
        {80, 24, 8, 17, 0, 0, 1, {0, 0, 0, 0, 0}},          // sixels keep the last row: 391 rows < 400
        {80, 25, 8, 17, 0, 0, 1, {1, 0, 0, 80, 24}},
        {160, 50, 8, 17, 0, 0, 1, {2, 0, 0, 160, 48}},      // 1280 x 833 rows above the last
        {160, 50, 8, 17, 1000, 1000, 1, {1, 40, 12, 80, 24}},  // xterm's default maxGraphicSize
        {200, 60, 8, 17, 1279, 0, 1, {1, 60, 17, 80, 24}},
        {80, 25, 0, 0, 0, 0, 0, {0, 0, 0, 0, 0}},           // no cell size: no pictures
    };
    for (const Case& c : cases) {
        PixelPlace p = terminal_pixels_place(c.cols, c.rows, c.cw, c.ch, c.max_w, c.max_h, c.sixel);
        SCOPED_TRACE(std::to_string(c.cols) + "x" + std::to_string(c.rows));
        EXPECT_EQ(p.scale, c.want.scale);
        EXPECT_EQ(p.left, c.want.left);
        EXPECT_EQ(p.top, c.want.top);
        EXPECT_EQ(p.cols, c.want.cols);
        EXPECT_EQ(p.rows, c.want.rows);
    }
}

// ---- the encoders, decoded back ----

std::vector<DisplayCell> random_cells(unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<DisplayCell> cells(DISPLAY_CELLS);
    for (auto& c : cells)
        c = {(uint8_t)rng(), (uint8_t)rng()};
    for (int i = 0; i < 900; i++)
        cells[1000 + i] = {0xB1, 0x1E};   // a large even area, where one colour is the background
    return cells;
}

// The renderer's drawing at scale 1 (the reference both encoders must reproduce).
std::vector<uint8_t> drawn(const std::vector<DisplayCell>& cells)
{
    std::vector<uint8_t> rgb(VGA_PIXELS_W * VGA_PIXELS_H * 3);
    vga_draw_cells_rgb(cells.data(), vga_palette, rgb.data());
    return rgb;
}

// A small sixel decoder: ESC P p1 ; p2 ; p3 q, raster attributes, colour definitions in percent,
// #n, !n, $, -, data; p2 = 0 fills the declared size with register 0. Pixels never set stay -1.
struct SixelImage {
    int row, col;                  // the cursor position sent before it, 1-based
    int w, h;
    std::vector<int> px;           // 0xRRGGBB or -1
    int trailing_newline = 0;
};
SixelImage decode_sixel(const std::string& s)
{
    SixelImage img{};
    size_t i = 0;
    EXPECT_EQ(sscanf(s.c_str(), "\x1b[%d;%dH", &img.row, &img.col), 2);
    i = s.find("\x1bP");
    int p1, p2, p3, an, ad;
    int used = 0;
    EXPECT_EQ(sscanf(s.c_str() + i, "\x1bP%d;%d;%dq\"%d;%d;%d;%d%n", &p1, &p2, &p3, &an, &ad, &img.w, &img.h, &used), 7);
    i += (size_t)used;
    int reg[256] = {0};
    img.px.assign((size_t)img.w * img.h, -1);
    int filled = 0, colour = 0, x = 0, y = 0;
    auto number = [&]() {
        int v = 0;
        while (i < s.size() && isdigit((unsigned char)s[i]))
            v = v * 10 + (s[i++] - '0');
        return v;
    };
    while (i < s.size() && s[i] != 0x1b) {
        char c = s[i++];
        if (c == '#') {
            colour = number();
            if (i < s.size() && s[i] == ';') {
                i++;
                EXPECT_EQ(number(), 2);
                int rgb[3];
                for (int& v : rgb) {
                    EXPECT_EQ(s[i++], ';');
                    v = number() * 255 / 100;
                }
                reg[colour] = rgb[0] << 16 | rgb[1] << 8 | rgb[2];
            }
            continue;
        }
        int count = 1;
        if (c == '!') {
            count = number();
            c = s[i++];
        }
        if (c == '$') {
            x = 0;
        } else if (c == '-') {
            x = 0;
            y += 6;
            img.trailing_newline = i < s.size() && s[i] == 0x1b;
        } else if (c >= '?' && c <= '~') {
            if (!filled && p2 != 1) {
                for (int& p : img.px)
                    p = reg[0];
                filled = 1;
            }
            for (int k = 0; k < count; k++, x++)
                for (int b = 0; b < 6; b++)
                    if ((c - '?') & (1 << b)) {
                        EXPECT_LT(x, img.w);
                        EXPECT_LT(y + b, img.h);
                        if (x < img.w && y + b < img.h)
                            img.px[(size_t)(y + b) * img.w + x] = reg[colour];
                    }
        } else {
            ADD_FAILURE() << "unexpected byte " << (int)c;
        }
    }
    EXPECT_EQ(s.substr(i), "\x1b\\");
    return img;
}

TEST(TerminalPixels, SixelDecodesToTheDrawingWithinThePercentRounding)
{
    std::vector<DisplayCell> cells = random_cells(7);
    std::vector<uint8_t> ref = drawn(cells);
    static char out[4 << 20];
    struct Case {
        int scale, x0, x1, y0, y1, row, col;
    };
    // The whole picture; and at scale 2 a part starting inside a cell, ending at the last pixel row.
    for (Case c : {Case{1, 0, 640, 0, 400, 0, 0}, Case{2, 24, 1000, 301, 800, 17, 3}}) {
        size_t n = terminal_sixel_encode(cells.data(), c.scale, c.x0, c.x1, c.y0, c.y1, c.row, c.col, out, sizeof out);
        ASSERT_GT(n, 0u);
        SixelImage img = decode_sixel(std::string(out, n));
        EXPECT_EQ(img.row, c.row + 1);
        EXPECT_EQ(img.col, c.col + 1);
        ASSERT_EQ(img.w, c.x1 - c.x0);
        ASSERT_EQ(img.h, c.y1 - c.y0);
        EXPECT_EQ(img.trailing_newline, 0);   // no band after the last: nothing scrolls
        int bad = 0;
        for (int y = 0; y < img.h; y++)
            for (int x = 0; x < img.w; x++) {
                int p = img.px[(size_t)y * img.w + x];
                const uint8_t* want = &ref[(((size_t)(c.y0 + y) / c.scale) * VGA_PIXELS_W + (c.x0 + x) / c.scale) * 3];
                for (int k = 0; k < 3 && p >= 0; k++)
                    bad += abs(((p >> (16 - 8 * k)) & 255) - want[k]) > 3;
                bad += p < 0;
            }
        EXPECT_EQ(bad, 0) << "scale " << c.scale;
    }
    // Too little room: nothing, rather than a picture cut short.
    EXPECT_EQ(terminal_sixel_encode(cells.data(), 1, 0, 640, 0, 400, 0, 0, out, 4000), 0u);
    // Every room from nothing up: either a whole picture within it or nothing, never a byte beyond;
    // a blank picture at scale 4 is little but the ends of its 267 bands.
    std::vector<DisplayCell> blank(DISPLAY_CELLS, DisplayCell{0, 0});
    for (size_t room = 0; room < 1000; room += 13) {
        std::vector<char> small(room + 1024, '\x7f');
        size_t n = terminal_sixel_encode(blank.data(), 4, 0, 2560, 0, 1600, 0, 0, small.data(), room);
        EXPECT_LE(n, room);
        ASSERT_EQ(small[room], '\x7f') << room;
    }
}

// PNG read back: chunks and their CRCs, the zlib stream inflated, filters none and up, 4-bit palette.
std::vector<int> decode_png(const std::vector<uint8_t>& png, int* w, int* h)
{
    auto be32 = [&](size_t at) { return (uint32_t)png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3]; };
    EXPECT_EQ(memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8), 0);
    std::vector<uint8_t> idat;
    int palette[16] = {0};
    size_t at = 8;
    while (at + 12 <= png.size()) {
        uint32_t len = be32(at);
        std::string type((const char*)&png[at + 4], 4);
        EXPECT_EQ(crc32(0, &png[at + 4], len + 4), be32(at + 8 + len)) << type;
        const uint8_t* d = &png[at + 8];
        if (type == "IHDR") {
            *w = (int)be32(at + 8);
            *h = (int)be32(at + 12);
            EXPECT_EQ(d[8], 4);
            EXPECT_EQ(d[9], 3);
        } else if (type == "PLTE") {
            for (int c = 0; c < 16; c++)
                palette[c] = d[3 * c] << 16 | d[3 * c + 1] << 8 | d[3 * c + 2];
        } else if (type == "IDAT") {
            idat.insert(idat.end(), d, d + len);
        }
        at += 12 + len;
    }
    EXPECT_EQ(at, png.size());
    size_t stride = 1 + (size_t)*w / 2;
    std::vector<uint8_t> raw(stride * *h);
    uLongf raw_len = raw.size();
    EXPECT_EQ(uncompress(raw.data(), &raw_len, idat.data(), idat.size()), Z_OK);
    EXPECT_EQ(raw_len, raw.size());
    std::vector<int> px((size_t)*w * *h);
    for (int y = 0; y < *h; y++) {
        uint8_t* row = &raw[stride * y];
        EXPECT_TRUE(row[0] == 0 || (row[0] == 2 && y > 0)) << "filter " << (int)row[0];
        if (row[0] == 2)
            for (size_t k = 1; k < stride; k++)
                row[k] = (uint8_t)(row[k] + row[k - stride]);
        for (int x = 0; x < *w; x++)
            px[(size_t)y * *w + x] = palette[(row[1 + x / 2] >> (x & 1 ? 0 : 4)) & 15];
    }
    return px;
}

std::string base64_decode(const std::string& s)
{
    static const std::string B = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    uint32_t v = 0;
    int bits = 0;
    for (char c : s) {
        if (c == '=')
            break;
        v = v << 6 | (uint32_t)B.find(c);
        if ((bits += 6) >= 8)
            out += (char)((v >> (bits -= 8)) & 255);
    }
    return out;
}

TEST(TerminalPixels, KittyPngDecodesToTheDrawingExactlyAndTravelsInChunks)
{
    std::vector<DisplayCell> cells = random_cells(11);
    std::vector<uint8_t> ref = drawn(cells);
    static uint8_t png[4 << 20];
    for (int scale : {1, 2}) {
        int y0 = 8 * scale * 3, y1 = 400 * scale;   // from console row 3 to the end
        size_t n = terminal_kitty_png(cells.data(), scale, y0, y1, png, sizeof png);
        ASSERT_GT(n, 0u);
        int w = 0, h = 0;
        std::vector<int> px = decode_png(std::vector<uint8_t>(png, png + n), &w, &h);
        ASSERT_EQ(w, 640 * scale);
        ASSERT_EQ(h, y1 - y0);
        int bad = 0;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const uint8_t* want = &ref[(((size_t)(y0 + y) / scale) * VGA_PIXELS_W + x / scale) * 3];
                bad += px[(size_t)y * w + x] != (want[0] << 16 | want[1] << 8 | want[2]);
            }
        EXPECT_EQ(bad, 0) << "scale " << scale;

        // The escape sequences: keys once, chunks of at most 4096 base64 bytes, the last with m=0.
        static char out[8 << 20];
        size_t len = terminal_kitty_wrap(png, n, scale == 1, y0, out, sizeof out);
        std::string s(out, len), payload;
        const std::string first = scale == 1 ? "\x1b_Ga=T,f=100,i=16016,p=1,q=2,C=1,m=1;"
                                             : "\x1b_Ga=f,r=1,x=0,y=" + std::to_string(y0) + ",f=100,i=16016,q=2,m=1;";
        ASSERT_EQ(s.compare(0, first.size(), first), 0) << s.substr(0, 60);
        size_t at = 0;
        int chunks = 0, last_more = 1;
        while (at < s.size()) {
            size_t semi = s.find(';', at), end = s.find("\x1b\\", at);
            ASSERT_NE(end, std::string::npos);
            last_more = s.compare(semi - 3, 3, "m=1") == 0;
            EXPECT_LE(end - semi - 1, 4096u);
            payload += s.substr(semi + 1, end - semi - 1);
            at = end + 2;
            chunks++;
        }
        EXPECT_EQ(last_more, 0);
        EXPECT_GT(chunks, 1);
        EXPECT_EQ(base64_decode(payload), std::string((const char*)png, n));
    }
}

}  // namespace
