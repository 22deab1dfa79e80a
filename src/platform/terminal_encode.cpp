// terminal_encode.cpp -- laid-out terminal cells to bytes: cursor moves, colours, glyphs, only what changed
#include "platform/terminal.h"

#include <cstdio>
#include <cstring>

#include "platform/vga.h"

// ---- types ----

struct Glyph {
    uint8_t len;
    char bytes[7];
};

// ---- state ----

// Unicode code point of every code page 437 byte. Code 0 is shown as a blank; 0x01-0x1F and
// 0x7F are the console's pictures, not control characters.
static const uint16_t CP437_UNICODE[256] = {
    0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8, 0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0027, 0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047, 0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057, 0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F,
    0x0060, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067, 0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077, 0x0078, 0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x2302,
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// Plain ASCII look-alikes, for terminals whose locale is not UTF-8.
static const char CP437_ASCII[257] =
    " @@vo%^*#o#**dd*"      // 0x00-0x0F faces, suits, bullet, ring, gender signs, notes, sun
    "><|!PS-|^v><L-^v"      // 0x10-0x1F triangles, arrows, pilcrow, section
    " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~^"
    "CueaaaaceeeiiiAA"      // 0x80-0x8F
    "EaAooouuyOUcLYPf"      // 0x90-0x9F
    "aiounNao?--%%!<>"      // 0xA0-0xAF
    ":%#|++++++|+++++"      // 0xB0-0xBF light, medium, dark shade, box drawing
    "++++-+++++++++=+"      // 0xC0-0xCF
    "+++++++++++#_[]\""     // 0xD0-0xDF
    "aBGpSsutF0Od8oen"      // 0xE0-0xEF Greek and maths
    "=+><()/=o..Vn2# ";     // 0xF0-0xFF

// Glyphs that some terminals draw as two-cell emoji: sent with the text presentation selector
// U+FE0E so they stay one cell wide.
static const uint8_t EMOJI_PRONE[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0B, 0x0C, 0x12, 0x13, 0x1D};

// The block elements by quadrant mask (bit 0 upper left, 1 upper right, 2 lower left, 3 lower right).
static const uint16_t QUADRANT_UNICODE[16] = {
    0x0020, 0x2598, 0x259D, 0x2580, 0x2596, 0x258C, 0x259E, 0x259B,
    0x2597, 0x259A, 0x2590, 0x259C, 0x2584, 0x2599, 0x259F, 0x2588,
};
enum { GLYPHS = TERMINAL_GLYPH_QUADRANTS + 16 };

static Glyph utf8_glyphs[GLYPHS];   // built on first use
static int utf8_ready;

// ---- internal functions ----

static int put_utf8(uint32_t cp, char* out)
{
    if (cp < 0x80) {
        out[0] = (char)cp;
        return 1;
    }
    if (cp < 0x800) {
        out[0] = (char)(0xC0 | (cp >> 6));
        out[1] = (char)(0x80 | (cp & 0x3F));
        return 2;
    }
    out[0] = (char)(0xE0 | (cp >> 12));
    out[1] = (char)(0x80 | ((cp >> 6) & 0x3F));
    out[2] = (char)(0x80 | (cp & 0x3F));
    return 3;
}

static void build_utf8_glyphs(void)
{
    for (int ch = 0; ch < 256; ch++) {
        Glyph* g = &utf8_glyphs[ch];
        g->len = (uint8_t)put_utf8(CP437_UNICODE[ch], g->bytes);
        if (memchr(EMOJI_PRONE, ch, sizeof EMOJI_PRONE))
            g->len = (uint8_t)(g->len + put_utf8(0xFE0E, g->bytes + g->len));
    }
    for (int m = 0; m < 16; m++) {
        Glyph* g = &utf8_glyphs[TERMINAL_GLYPH_QUADRANTS + m];
        g->len = (uint8_t)put_utf8(QUADRANT_UNICODE[m], g->bytes);
    }
    utf8_ready = 1;
}

// The quadrant blocks in plain ASCII: the nearest of space, quote, comma and colon.
static char ascii_quadrants(unsigned mask)
{
    static const char LOOK[16] = {' ', '\'', '\'', '"', ',', '|', '/', 'P', ',', '\\', '|', '9', '_', 'L', 'J', '#'};
    return LOOK[mask & 15];
}

static char* put_uint(char* p, unsigned v)
{
    char digits[10];
    int n = 0;
    do {
        digits[n++] = (char)('0' + v % 10);
        v /= 10;
    } while (v);
    while (n)
        *p++ = digits[--n];
    return p;
}

static int digit_count(unsigned v) { return v >= 100 ? 3 : v >= 10 ? 2 : 1; }

// Moves the cursor to (x, y) by the shorter of an absolute move and a forward move on the same row.
static char* move_cursor(TerminalEncoder* enc, char* p, int x, int y)
{
    if (enc->cursor_x == x && enc->cursor_y == y)
        return p;
    int absolute = 4 + digit_count(y + 1) + digit_count(x + 1);    // ESC [ y ; x H
    int forward = 1 << 30;
    if (enc->cursor_y == y && enc->cursor_x >= 0 && x > enc->cursor_x) {
        int n = x - enc->cursor_x;
        forward = n == 1 ? 3 : 3 + digit_count(n);                   // ESC [ n C
    }
    *p++ = '\x1b';
    *p++ = '[';
    if (forward < absolute) {
        if (x - enc->cursor_x > 1)
            p = put_uint(p, (unsigned)(x - enc->cursor_x));
        *p++ = 'C';
    } else {
        p = put_uint(p, (unsigned)(y + 1));
        *p++ = ';';
        p = put_uint(p, (unsigned)(x + 1));
        *p++ = 'H';
    }
    enc->cursor_x = x;
    enc->cursor_y = y;
    return p;
}

// Console colour bits are blue 1, green 2, red 4; ANSI's are red 1, green 2, blue 4.
static unsigned ansi_colour(int c) { return (unsigned)(((c & 1) << 2) | (c & 2) | ((c & 4) >> 2)); }

static char* put_colour(const TerminalEncoder* enc, char* p, uint32_t c, int background)
{
    if (enc->colours == TERMINAL_COLOURS_24BIT || (c & TERMINAL_RGB)) {
        uint8_t rgb[3];
        if (c & TERMINAL_RGB) {
            rgb[0] = (uint8_t)(c >> 16);
            rgb[1] = (uint8_t)(c >> 8);
            rgb[2] = (uint8_t)c;
        } else {
            memcpy(rgb, vga_palette[c & 15], 3);
        }
        *p++ = background ? '4' : '3';
        *p++ = '8';
        *p++ = ';';
        *p++ = '2';
        for (int i = 0; i < 3; i++) {
            *p++ = ';';
            p = put_uint(p, rgb[i]);
        }
        return p;
    }
    unsigned base = background ? (c & 8 ? 100u : 40u) : (c & 8 ? 90u : 30u);
    return put_uint(p, base + ansi_colour((int)c));
}

static char* set_colours(TerminalEncoder* enc, char* p, uint32_t fg, uint32_t bg)
{
    int new_fg = fg != enc->fg, new_bg = bg != enc->bg;
    if (!new_fg && !new_bg)
        return p;
    *p++ = '\x1b';
    *p++ = '[';
    if (new_fg)
        p = put_colour(enc, p, fg, 0);
    if (new_fg && new_bg)
        *p++ = ';';
    if (new_bg)
        p = put_colour(enc, p, bg, 1);
    *p++ = 'm';
    enc->fg = fg;
    enc->bg = bg;
    return p;
}

static char* put_literal(char* p, const char* s)
{
    size_t n = strlen(s);
    memcpy(p, s, n);
    return p + n;
}

// Blank glyphs show only their background, so their foreground need not be sent.
static int is_blank(unsigned glyph) { return glyph == 0 || glyph == ' ' || glyph == 0xFF || glyph == TERMINAL_GLYPH_QUADRANTS; }

static int same(const TermCell* a, const TermCell* b)
{
    if (a->glyph != b->glyph || a->bg != b->bg)
        return 0;
    return a->fg == b->fg || is_blank(a->glyph);
}

static char* put_message(TerminalEncoder* enc, char* p, int y, const char* text)
{
    int n = (int)strlen(text);
    if (n > enc->cols)
        n = enc->cols;
    p = move_cursor(enc, p, (enc->cols - n) / 2, y);
    memcpy(p, text, (size_t)n);
    enc->cursor_x = -1;
    return p + n;
}

// Below the smallest size the picture is not drawn at all: one line says what is needed instead.
static char* put_too_small(TerminalEncoder* enc, char* p)
{
    char line[96];
    snprintf(line, sizeof line, "too small: %d x %d, needs %d x %d", enc->cols, enc->rows,
             TERMINAL_MIN_COLS, TERMINAL_MIN_ROWS);
    return put_message(enc, p, enc->rows / 2, line);
}

// The text lines over the laid-out picture, as characters in their console colours: the top line
// across its first row, the bottom line across its last, cut at its width.
static void put_text_lines(const TerminalLayout* layout, const DisplayText* text, TermCell* target)
{
    for (int line = 0; line < DISPLAY_TEXT_LINES; line++) {
        int row = line == DISPLAY_TEXT_TOP ? 0 : layout->rows - 1;
        if (row < 0 || !text->line[line][0])
            continue;
        TermCell* out = target + row * layout->cols;
        uint8_t attr = text->attr[line];
        int n = (int)strlen(text->line[line]);
        for (int i = 0; i < layout->cols; i++)
            out[i] = TermCell{(uint32_t)(attr & 15), (uint32_t)(attr >> 4),
                              (uint16_t)(i < n ? (uint8_t)text->line[line][i] : ' ')};
    }
}

// ---- public functions ----

void terminal_encoder_init(TerminalEncoder* enc, int cols, int rows, int colours, int charset)
{
    memset(enc, 0, sizeof *enc);
    enc->cols = cols;
    enc->rows = rows;
    enc->colours = colours;
    enc->charset = charset;
    enc->layout_wanted = TERMINAL_LAYOUT_AUTO;
    enc->repaint = 1;
    enc->cursor_x = enc->cursor_y = -1;
    enc->fg = enc->bg = TERMINAL_UNKNOWN_COLOUR;
}

int terminal_glyph(unsigned glyph, int charset, char* out)
{
    if (glyph >= GLYPHS)
        glyph = ' ';
    if (charset == TERMINAL_CHARSET_ASCII) {
        out[0] = glyph >= TERMINAL_GLYPH_QUADRANTS ? ascii_quadrants(glyph) : CP437_ASCII[glyph];
        return 1;
    }
    if (!utf8_ready)
        build_utf8_glyphs();
    memcpy(out, utf8_glyphs[glyph].bytes, utf8_glyphs[glyph].len);
    return utf8_glyphs[glyph].len;
}

size_t terminal_encode_frame(TerminalEncoder* enc, const DisplayCell* cells, char* out, size_t capacity)
{
    if (capacity < TERMINAL_FRAME_BYTES)
        return 0;
    if (!utf8_ready)
        build_utf8_glyphs();
    int repaint = enc->repaint;
    if (repaint)
        terminal_layout_choose(&enc->layout, enc->layout_wanted, enc->cols, enc->rows, enc->cell_w, enc->cell_h,
                               enc->charset);
    const TerminalLayout* layout = &enc->layout;
    terminal_layout_draw(layout, cells, enc->colours, enc->charset, enc->target);
    if (enc->text && layout->kind != TERMINAL_LAYOUT_TOO_SMALL)
        put_text_lines(layout, enc->text, enc->target);

    char* p = out;
    p = put_literal(p, "\x1b[?2026h");
    char* opened = p;
    if (repaint) {
        // After a resize or a return from the background nothing on screen can be trusted.
        p = put_literal(p, "\x1b[0m\x1b[2J");
        enc->cursor_x = enc->cursor_y = -1;
        enc->fg = enc->bg = TERMINAL_UNKNOWN_COLOUR;
        enc->repaint = 0;
        if (layout->kind == TERMINAL_LAYOUT_TOO_SMALL)
            p = put_too_small(enc, p);
    }
    int sent = 0;
    for (int row = 0; row < layout->rows; row++) {
        const TermCell* line = enc->target + row * layout->cols;
        TermCell* shown = enc->shown + row * layout->cols;
        for (int col = 0; col < layout->cols; col++) {
            const TermCell* c = &line[col];
            if (!repaint && same(c, &shown[col]))
                continue;
            shown[col] = *c;
            sent++;
            int x = layout->left + col, y = layout->top + row;
            p = move_cursor(enc, p, x, y);
            p = set_colours(enc, p, is_blank(c->glyph) && enc->fg != TERMINAL_UNKNOWN_COLOUR ? enc->fg : c->fg, c->bg);
            if (enc->charset == TERMINAL_CHARSET_ASCII) {
                *p++ = c->glyph >= TERMINAL_GLYPH_QUADRANTS ? ascii_quadrants(c->glyph) : CP437_ASCII[c->glyph & 255];
            } else {
                const Glyph* g = &utf8_glyphs[c->glyph < GLYPHS ? c->glyph : ' '];
                memcpy(p, g->bytes, g->len);
                p += g->len;
            }
            // In the last column the cursor stays put (auto-wrap is off) or waits to wrap: either way
            // the next cell needs an absolute move.
            enc->cursor_x = x + 1 < enc->cols ? x + 1 : -1;
        }
    }
    enc->cells_sent = sent;
    if (p == opened)
        return 0;   // nothing changed: nothing to send
    p = put_literal(p, "\x1b[?2026l");
    return (size_t)(p - out);
}
