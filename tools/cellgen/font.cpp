// font.cpp -- code page 437 glyphs from the Linux console fonts: PSF reading, the 8 x 8 set, its C++ source
#include "cellgen.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

// ---- types ----

struct PsfFont {
    int count, height;               // glyphs, rows per glyph (8 pixels wide)
    std::vector<uint8_t> bitmaps;    // count x height bytes
    std::map<int, int> glyph_of;     // Unicode code point -> glyph
};

// ---- state ----

// Code page 437 as Unicode, with a second code point that some fonts carry instead (0: none).
// Code 0 and 0xFF stay blank.
static const uint16_t CP437[256][2] = {
    {0, 0}, {0x263A, 0}, {0x263B, 0}, {0x2665, 0}, {0x2666, 0}, {0x2663, 0}, {0x2660, 0}, {0x2022, 0},
    {0x25D8, 0}, {0x25CB, 0}, {0x25D9, 0}, {0x2642, 0}, {0x2640, 0}, {0x266A, 0}, {0x266B, 0}, {0x263C, 0},
    {0x25BA, 0}, {0x25C4, 0}, {0x2195, 0}, {0x203C, 0}, {0x00B6, 0}, {0x00A7, 0}, {0x25AC, 0}, {0x21A8, 0},
    {0x2191, 0}, {0x2193, 0}, {0x2192, 0}, {0x2190, 0}, {0x221F, 0}, {0x2194, 0}, {0x25B2, 0}, {0x25BC, 0},
    {0x20, 0}, {0x21, 0}, {0x22, 0}, {0x23, 0}, {0x24, 0}, {0x25, 0}, {0x26, 0}, {0x27, 0},
    {0x28, 0}, {0x29, 0}, {0x2A, 0}, {0x2B, 0}, {0x2C, 0}, {0x2D, 0}, {0x2E, 0}, {0x2F, 0},
    {0x30, 0}, {0x31, 0}, {0x32, 0}, {0x33, 0}, {0x34, 0}, {0x35, 0}, {0x36, 0}, {0x37, 0},
    {0x38, 0}, {0x39, 0}, {0x3A, 0}, {0x3B, 0}, {0x3C, 0}, {0x3D, 0}, {0x3E, 0}, {0x3F, 0},
    {0x40, 0}, {0x41, 0}, {0x42, 0}, {0x43, 0}, {0x44, 0}, {0x45, 0}, {0x46, 0}, {0x47, 0},
    {0x48, 0}, {0x49, 0}, {0x4A, 0}, {0x4B, 0}, {0x4C, 0}, {0x4D, 0}, {0x4E, 0}, {0x4F, 0},
    {0x50, 0}, {0x51, 0}, {0x52, 0}, {0x53, 0}, {0x54, 0}, {0x55, 0}, {0x56, 0}, {0x57, 0},
    {0x58, 0}, {0x59, 0}, {0x5A, 0}, {0x5B, 0}, {0x5C, 0}, {0x5D, 0}, {0x5E, 0}, {0x5F, 0},
    {0x60, 0}, {0x61, 0}, {0x62, 0}, {0x63, 0}, {0x64, 0}, {0x65, 0}, {0x66, 0}, {0x67, 0},
    {0x68, 0}, {0x69, 0}, {0x6A, 0}, {0x6B, 0}, {0x6C, 0}, {0x6D, 0}, {0x6E, 0}, {0x6F, 0},
    {0x70, 0}, {0x71, 0}, {0x72, 0}, {0x73, 0}, {0x74, 0}, {0x75, 0}, {0x76, 0}, {0x77, 0},
    {0x78, 0}, {0x79, 0}, {0x7A, 0}, {0x7B, 0}, {0x7C, 0}, {0x7D, 0}, {0x7E, 0}, {0x2302, 0},
    {0xC7, 0}, {0xFC, 0}, {0xE9, 0}, {0xE2, 0}, {0xE4, 0}, {0xE0, 0}, {0xE5, 0}, {0xE7, 0},
    {0xEA, 0}, {0xEB, 0}, {0xE8, 0}, {0xEF, 0}, {0xEE, 0}, {0xEC, 0}, {0xC4, 0}, {0xC5, 0},
    {0xC9, 0}, {0xE6, 0}, {0xC6, 0}, {0xF4, 0}, {0xF6, 0}, {0xF2, 0}, {0xFB, 0}, {0xF9, 0},
    {0xFF, 0}, {0xD6, 0}, {0xDC, 0}, {0xA2, 0}, {0xA3, 0}, {0xA5, 0}, {0x20A7, 0}, {0x0192, 0},
    {0xE1, 0}, {0xED, 0}, {0xF3, 0}, {0xFA, 0}, {0xF1, 0}, {0xD1, 0}, {0xAA, 0}, {0xBA, 0},
    {0xBF, 0}, {0x2310, 0}, {0xAC, 0}, {0xBD, 0}, {0xBC, 0}, {0xA1, 0}, {0xAB, 0}, {0xBB, 0},
    {0x2591, 0}, {0x2592, 0}, {0x2593, 0}, {0x2502, 0}, {0x2524, 0}, {0x2561, 0}, {0x2562, 0}, {0x2556, 0},
    {0x2555, 0}, {0x2563, 0}, {0x2551, 0}, {0x2557, 0}, {0x255D, 0}, {0x255C, 0}, {0x255B, 0}, {0x2510, 0},
    {0x2514, 0}, {0x2534, 0}, {0x252C, 0}, {0x251C, 0}, {0x2500, 0}, {0x253C, 0}, {0x255E, 0}, {0x255F, 0},
    {0x255A, 0}, {0x2554, 0}, {0x2569, 0}, {0x2566, 0}, {0x2560, 0}, {0x2550, 0}, {0x256C, 0}, {0x2567, 0},
    {0x2568, 0}, {0x2564, 0}, {0x2565, 0}, {0x2559, 0}, {0x2558, 0}, {0x2552, 0}, {0x2553, 0}, {0x256B, 0},
    {0x256A, 0}, {0x2518, 0}, {0x250C, 0}, {0x2588, 0}, {0x2584, 0}, {0x258C, 0}, {0x2590, 0}, {0x2580, 0},
    {0x03B1, 0}, {0xDF, 0x03B2}, {0x0393, 0}, {0x03C0, 0}, {0x03A3, 0}, {0x03C3, 0}, {0xB5, 0x03BC}, {0x03C4, 0},
    {0x03A6, 0}, {0x0398, 0}, {0x03A9, 0x2126}, {0x03B4, 0}, {0x221E, 0}, {0x03C6, 0x2205}, {0x03B5, 0x2208}, {0x2229, 0},
    {0x2261, 0}, {0xB1, 0}, {0x2265, 0}, {0x2264, 0}, {0x2320, 0}, {0x2321, 0}, {0xF7, 0}, {0x2248, 0},
    {0xB0, 0}, {0x2219, 0xB7}, {0xB7, 0x2219}, {0x221A, 0}, {0x207F, 0}, {0xB2, 0}, {0x25A0, 0}, {0, 0},
};

// Codes the 8 x 8 font (Uni2-VGA8) draws as other shapes under their Unicode names: the solid triangles
// come out as arrows and most Greek letters as box pieces or other symbols. They are made from the
// 8 x 16 glyphs like the ones the 8 x 8 font lacks.
static const uint8_t WRONG_IN_8X8[] = {0x1E, 0x1F, 0xE0, 0xE2, 0xE3, 0xE4, 0xE5, 0xE7, 0xE8, 0xE9, 0xEA, 0xEB, 0xED, 0xEE};

// ---- internal functions ----

// PSF version 1 (and 2) with a Unicode table; returns an empty message or the reason it failed.
static std::string read_psf(const std::string& path, PsfFont* font)
{
    gzFile f = gzopen(path.c_str(), "rb");
    if (!f)
        return "cannot be opened";
    std::vector<uint8_t> data;
    uint8_t buf[16384];
    int n;
    while ((n = gzread(f, buf, sizeof buf)) > 0)
        data.insert(data.end(), buf, buf + n);
    int status = n;
    gzclose(f);
    if (status < 0)
        return "is not a readable gzip file";

    size_t at, table;
    int has_table, utf8;
    if (data.size() >= 4 && data[0] == 0x36 && data[1] == 0x04) {
        font->count = data[2] & 1 ? 512 : 256;
        font->height = data[3];
        has_table = (data[2] & 6) != 0;
        utf8 = 0;
        at = 4;
    } else if (data.size() >= 32 && data[0] == 0x72 && data[1] == 0xB5 && data[2] == 0x4A && data[3] == 0x86) {
        auto word = [&](int i) { return (uint32_t)data[i] | data[i + 1] << 8 | data[i + 2] << 16 | (uint32_t)data[i + 3] << 24; };
        at = word(8);
        has_table = word(12) & 1;
        font->count = (int)word(16);
        font->height = (int)word(24);
        if (word(20) != (uint32_t)font->height || word(28) != 8)
            return "is not 8 pixels wide";
        utf8 = 1;
    } else {
        return "is not a PSF font";
    }
    table = at + (size_t)font->count * font->height;
    if (font->height < 1 || font->height > 32 || font->count > 4096 || table > data.size())
        return "is truncated";
    if (!has_table)
        return "has no Unicode table";
    font->bitmaps.assign(data.begin() + at, data.begin() + table);

    // Each glyph lists its code points; sequences (after 0xFFFE) are skipped; 0xFFFF ends the glyph.
    int glyph = 0, in_sequence = 0;
    for (size_t i = table; i < data.size() && glyph < font->count;) {
        int u;
        if (!utf8) {
            if (i + 1 >= data.size())
                break;
            u = data[i] | data[i + 1] << 8;
            i += 2;
        } else {
            uint8_t c = data[i++];
            if (c == 0xFF) {
                u = 0xFFFF;
            } else if (c == 0xFE) {
                u = 0xFFFE;
            } else {
                int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
                u = extra ? c & (0x3F >> extra) : c;
                for (; extra > 0 && i < data.size(); extra--)
                    u = u << 6 | (data[i++] & 0x3F);
            }
        }
        if (u == 0xFFFF) {
            glyph++;
            in_sequence = 0;
        } else if (u == 0xFFFE) {
            in_sequence = 1;
        } else if (!in_sequence && !font->glyph_of.count(u)) {
            font->glyph_of[u] = glyph;
        }
    }
    return "";
}

// The glyph for code page 437 `code`, or -1.
static int find_glyph(const PsfFont& font, int code)
{
    for (int k = 0; k < 2; k++) {
        auto it = font.glyph_of.find(CP437[code][k]);
        if (CP437[code][k] && it != font.glyph_of.end())
            return it->second;
    }
    return -1;
}

// Halves an 8 x 16 glyph's height. The inked rows are kept as they are while they fit; otherwise the
// adjacent pair of rows that differ in the fewest pixels is merged (OR) until they do, so repeated rows
// go first and separate strokes (the three bars of 0xF0) stay apart.
static void derive_8x8(const uint8_t rows16[16], uint8_t out[8])
{
    memset(out, 0, 8);
    int top = 0, bottom = 15;
    while (top < 16 && !rows16[top])
        top++;
    while (bottom >= 0 && !rows16[bottom])
        bottom--;
    if (top > bottom)
        return;
    std::vector<uint8_t> rows(rows16 + top, rows16 + bottom + 1);
    while (rows.size() > 8) {
        size_t best = 0;
        int best_cost = 99;
        for (size_t i = 0; i + 1 < rows.size(); i++) {
            int cost = __builtin_popcount(rows[i] ^ rows[i + 1]);
            if (cost < best_cost)
                best = i, best_cost = cost;
        }
        rows[best] |= rows[best + 1];
        rows.erase(rows.begin() + best + 1);
    }
    // Keep the glyph's place in the cell: half its top margin, as far down as it fits.
    int at = top / 2;
    if (at + (int)rows.size() > 8)
        at = 8 - (int)rows.size();
    for (size_t i = 0; i < rows.size(); i++)
        out[at + i] = rows[i];
}

// ---- public functions ----

int glyphs_load(const std::string& font_dir, GlyphSet* set)
{
    PsfFont tall, small;
    std::string tall_path = font_dir + "/default8x16.psf.gz", small_path = font_dir + "/Uni2-VGA8.psf.gz";
    std::string why = read_psf(tall_path, &tall);
    if (why.empty() && tall.height != 16)
        why = "is not 16 rows high";
    if (!why.empty()) {
        fprintf(stderr, "kerv16-cellgen: %s %s\n", tall_path.c_str(), why.c_str());
        return 0;
    }
    why = read_psf(small_path, &small);
    if (why.empty() && small.height != 8)
        why = "is not 8 rows high";
    if (!why.empty()) {
        fprintf(stderr, "kerv16-cellgen: %s %s\n", small_path.c_str(), why.c_str());
        return 0;
    }
    memset(set, 0, sizeof *set);
    for (int code = 1; code < 255; code++) {
        int g16 = find_glyph(tall, code);
        if (g16 < 0) {
            fprintf(stderr, "kerv16-cellgen: %s has no glyph for code 0x%02X (U+%04X)\n", tall_path.c_str(), code,
                    CP437[code][0]);
            return 0;
        }
        memcpy(set->rows16[code], &tall.bitmaps[(size_t)g16 * 16], 16);
        int g8 = find_glyph(small, code);
        for (uint8_t wrong : WRONG_IN_8X8)
            if (code == wrong)
                g8 = -1;
        if (g8 >= 0) {
            memcpy(set->rows8[code], &small.bitmaps[(size_t)g8 * 8], 8);
        } else {
            derive_8x8(set->rows16[code], set->rows8[code]);
            set->derived[code] = 1;
        }
    }
    return 1;
}

int glyphs_write_source(const GlyphSet* set, const char* path)
{
    FILE* f = fopen(path, "w");
    if (!f) {
        fprintf(stderr, "kerv16-cellgen: cannot write %s\n", path);
        return 0;
    }
    fprintf(f, "// Generated by kerv16-cellgen from the Linux console fonts; do not edit.\n");
    fprintf(f, "#include \"platform/vga.h\"\n\n");
    fprintf(f, "const uint8_t vga_font8x8[256][8] = {\n");
    for (int c = 0; c < 256; c++) {
        fprintf(f, "    {");
        for (int r = 0; r < 8; r++)
            fprintf(f, "0x%02X%s", set->rows8[c][r], r < 7 ? ", " : "");
        fprintf(f, "},  // 0x%02X%s\n", c, set->derived[c] ? ", made from the 8 x 16 glyph" : "");
    }
    fprintf(f, "};\n\n");
    fprintf(f, "const uint16_t vga_unicode[256] = {");
    for (int c = 0; c < 256; c++)
        fprintf(f, "%s0x%04X,", c % 8 ? " " : "\n    ", c == 0 ? 0x20 : c == 0xFF ? 0xA0 : CP437[c][0]);
    fprintf(f, "\n};\n");
    return fclose(f) == 0;
}
