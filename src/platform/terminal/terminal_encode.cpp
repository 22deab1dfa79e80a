// terminal_encode.cpp -- laid-out terminal cells to bytes: cursor moves, colours, glyphs, only what changed
//
// Colours cost the most bytes (up to 19 for one in 24-bit colour, against 3 to 10 for a cursor move),
// and a frame's changed cells share few of them. So the cells that change are grouped by the colours
// they need (a blank cell only its background) and drawn one colour state at a time, each group in
// row order, cheapest change of state first.
#include "platform/terminal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/vga.h"

// ---- types ----

struct Glyph {
    uint8_t len;
    char bytes[7];
};

enum : uint32_t {
    ANY_COLOUR = 0xFFFFFFFEu,          // the foreground a blank cell asks for: whichever is in effect
};

enum {
    GROUP_SLOTS = 2 * TERMINAL_MAX_CELLS,  // the groups' index by colours, at most half full
    SHARED_LOOKS = 8,                  // groups sharing a colour with the state looked at for the next
};

// The changed cells that ask for the same colours, linked in row order.
struct Group {
    uint32_t fg, bg;                   // fg is ANY_COLOUR for blank cells
    int first, last;                   // changed cells (numbers into plan.cell), -1 for none
    int count;
    int done;                          // 1 once drawn
    int blanks;                        // the blank cells' group on the same background, -1 for none
    int same_fg, same_bg;              // the next group (not blank) with this foreground / background, -1 at the end
};

// The groups (not blank) with one colour as foreground and as background, each chain most cells first.
struct ColourChains {
    uint32_t frame;                    // valid when equal to plan.frame
    uint32_t colour;
    int fg, bg;                        // first group of each chain, -1 for none
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

// One frame's plan: its changed cells, their groups and the groups ordered for choosing the next.
static struct {
    int cells;
    int cell[TERMINAL_MAX_CELLS];      // target index of each changed cell, in row order
    uint16_t x[TERMINAL_MAX_CELLS];    // its terminal column and row
    uint16_t y[TERMINAL_MAX_CELLS];
    int next[TERMINAL_MAX_CELLS];      // per changed cell the next one of its group, -1 at the end
    int groups;
    Group group[TERMINAL_MAX_CELLS];
    uint32_t frame;                    // advanced every frame; slots of other frames are empty
    uint32_t slot_frame[GROUP_SLOTS];  // the groups by their two colours
    int slot_group[GROUP_SLOTS];
    ColourChains chains[GROUP_SLOTS];  // by colour
    int blank[TERMINAL_MAX_CELLS];     // the blank cells' groups, most cells first
    int blanks, blank_at;              // how many; the first that may not be done
    int solid[TERMINAL_MAX_CELLS];     // the other groups, most cells first
    int solids, solid_at;
} plan;

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


static int digit_count(unsigned v) { return v >= 100 ? 3 : v >= 10 ? 2 : 1; }

// Bytes and parameter of a move along a row from column `from` to `to` (both known): forward, back or
// to the column. 0 bytes when they are the same.
static int along_row(int from, int to, int* n, char* final)
{
    if (from == to)
        return 0;
    int step = to > from ? to - from : from - to;
    int bytes = step == 1 ? 3 : 3 + digit_count(step);                 // ESC [ n C or ESC [ n D
    *n = step;
    *final = to > from ? 'C' : 'D';
    int column = to == 0 ? 3 : 3 + digit_count(to + 1);                // ESC [ x G
    if (column < bytes) {
        bytes = column;
        *n = to + 1;
        *final = 'G';
    }
    return bytes;
}

static char* put_move(char* p, int n, char final)
{
    *p++ = '\x1b';
    *p++ = '[';
    if (n > 1)
        p = terminal_put_uint(p, (unsigned)n);
    *p++ = final;
    return p;
}

// Moves the cursor to (x, y) by the shortest way: an absolute move, or from a known position a move
// along the row, one row down by index or some rows up or down, and then along the row. On a tie the
// absolute move. (Index scrolls only from the last row, and a row below it is never asked for.)
static char* move_cursor(TerminalEncoder* enc, char* p, int x, int y)
{
    if (enc->cursor_x == x && enc->cursor_y == y)
        return p;
    int best = 4 + digit_count(y + 1) + digit_count(x + 1);             // ESC [ y ; x H
    int way = 0, n = 0, rows = 0;
    char final = 0, vertical = 0;
    if (enc->cursor_x >= 0) {
        int along = along_row(enc->cursor_x, x, &n, &final);
        int dy = y > enc->cursor_y ? y - enc->cursor_y : enc->cursor_y - y;
        int down = y > enc->cursor_y;
        int up_down = dy == 0 ? 0 : dy == 1 && down ? 2 : dy == 1 ? 3 : 3 + digit_count(dy);   // ESC D, ESC [ n B or A
        if (up_down + along < best) {
            best = up_down + along;
            way = 1;
            rows = dy;
            vertical = dy == 0 ? 0 : dy == 1 && down ? 'D' : down ? 'B' : 'A';
        }
    }
    if (way == 0) {
        *p++ = '\x1b';
        *p++ = '[';
        p = terminal_put_uint(p, (unsigned)(y + 1));
        *p++ = ';';
        p = terminal_put_uint(p, (unsigned)(x + 1));
        *p++ = 'H';
    } else {
        if (vertical == 'D') {
            *p++ = '\x1b';
            *p++ = 'D';
        } else if (vertical) {
            p = put_move(p, rows, vertical);
        }
        if (final)
            p = put_move(p, n, final);
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
            p = terminal_put_uint(p, rgb[i]);
        }
        return p;
    }
    unsigned base = background ? (c & 8 ? 100u : 40u) : (c & 8 ? 90u : 30u);
    return terminal_put_uint(p, base + ansi_colour((int)c));
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

// Bytes of a colour's parameters: "38;2;r;g;b" or the ANSI number.
static int colour_bytes(const TerminalEncoder* enc, uint32_t c)
{
    if (enc->colours == TERMINAL_COLOURS_24BIT || (c & TERMINAL_RGB)) {
        uint8_t rgb[3] = {(uint8_t)(c >> 16), (uint8_t)(c >> 8), (uint8_t)c};
        if (!(c & TERMINAL_RGB))
            memcpy(rgb, vga_palette[c & 15], 3);
        return 7 + digit_count(rgb[0]) + digit_count(rgb[1]) + digit_count(rgb[2]);
    }
    return c & 8 ? 3 : 2;
}

// Bytes set_colours sends to go from the colours in effect to fg and bg.
static int colours_cost(const TerminalEncoder* enc, uint32_t fg, uint32_t bg)
{
    int new_fg = fg != enc->fg, new_bg = bg != enc->bg;
    if (!new_fg && !new_bg)
        return 0;
    return 3 + (new_fg ? colour_bytes(enc, fg) : 0) + (new_bg ? colour_bytes(enc, bg) : 0) + (new_fg && new_bg);
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

static uint32_t pair_hash(uint32_t fg, uint32_t bg) { return (fg * 0x9E3779B1u ^ bg * 0x85EBCA77u) % GROUP_SLOTS; }

// The group of changed cells asking for colours fg and bg; -1 when there is none.
static int find_group(uint32_t fg, uint32_t bg)
{
    for (uint32_t at = pair_hash(fg, bg);; at = (at + 1) % GROUP_SLOTS) {
        if (plan.slot_frame[at] != plan.frame)
            return -1;
        const Group* g = &plan.group[plan.slot_group[at]];
        if (g->fg == fg && g->bg == bg)
            return plan.slot_group[at];
    }
}

static int add_group(uint32_t fg, uint32_t bg)
{
    uint32_t at = pair_hash(fg, bg);
    while (plan.slot_frame[at] == plan.frame)
        at = (at + 1) % GROUP_SLOTS;
    int id = plan.groups++;
    plan.slot_frame[at] = plan.frame;
    plan.slot_group[at] = id;
    plan.group[id] = Group{fg, bg, -1, -1, 0, 0, -1, -1, -1};
    return id;
}

// The chains of a colour, made empty when it has none yet in this frame.
static ColourChains* chains_of(uint32_t colour)
{
    uint32_t at = (colour * 0x9E3779B1u) % GROUP_SLOTS;
    for (; plan.chains[at].frame == plan.frame; at = (at + 1) % GROUP_SLOTS)
        if (plan.chains[at].colour == colour)
            return &plan.chains[at];
    plan.chains[at] = ColourChains{plan.frame, colour, -1, -1};
    return &plan.chains[at];
}

// Collects the cells that differ from what the terminal shows (all of them after a repaint) into groups
// by the colours they ask for, and orders the groups for choosing. Returns how many cells change.
static int plan_changes(const TerminalEncoder* enc, int repaint)
{
    const TerminalLayout* layout = &enc->layout;
    if (++plan.frame == 0) {   // wrapped: forget every slot
        memset(plan.slot_frame, 0, sizeof plan.slot_frame);
        for (ColourChains& c : plan.chains)
            c.frame = 0;
        plan.frame = 1;
    }
    plan.cells = plan.groups = 0;
    int g = -1;   // the group of the last changed cell: neighbours often ask for the same colours
    for (int row = 0, i = 0; row < layout->rows; row++)
        for (int col = 0; col < layout->cols; col++, i++) {
            const TermCell* c = &enc->target[i];
            if (!repaint && same(c, &enc->shown[i]))
                continue;
            uint32_t fg = is_blank(c->glyph) ? ANY_COLOUR : c->fg;
            if (g < 0 || plan.group[g].fg != fg || plan.group[g].bg != c->bg) {
                g = find_group(fg, c->bg);
                if (g < 0)
                    g = add_group(fg, c->bg);
            }
            Group* group = &plan.group[g];
            int n = plan.cells++;
            plan.cell[n] = i;
            plan.x[n] = (uint16_t)(layout->left + col);
            plan.y[n] = (uint16_t)(layout->top + row);
            plan.next[n] = -1;
            if (group->last >= 0)
                plan.next[group->last] = n;
            else
                group->first = n;
            group->last = n;
            group->count++;
        }
    plan.blanks = plan.solids = plan.blank_at = plan.solid_at = 0;
    for (int id = 0; id < plan.groups; id++) {
        if (plan.group[id].fg == ANY_COLOUR)
            plan.blank[plan.blanks++] = id;
        else
            plan.solid[plan.solids++] = id;
    }
    auto more = [](int a, int b) { return plan.group[a].count > plan.group[b].count || (plan.group[a].count == plan.group[b].count && a < b); };
    std::sort(plan.blank, plan.blank + plan.blanks, more);
    std::sort(plan.solid, plan.solid + plan.solids, more);
    // Chains built from the smallest group up, so that each runs from its largest.
    for (int k = plan.solids - 1; k >= 0; k--) {
        Group* group = &plan.group[plan.solid[k]];
        group->blanks = find_group(ANY_COLOUR, group->bg);
        ColourChains* by_fg = chains_of(group->fg);
        group->same_fg = by_fg->fg;
        by_fg->fg = plan.solid[k];
        ColourChains* by_bg = chains_of(group->bg);
        group->same_bg = by_bg->bg;
        by_bg->bg = plan.solid[k];
    }
    return plan.cells;
}

static int left_in(int g) { return g >= 0 && !plan.group[g].done ? plan.group[g].count : 0; }

// The foreground a state drawing blank cells on bg keeps: the one in effect, or after a repaint (when
// none is known) bg itself, so that the first colours set both.
static uint32_t blank_fg(const TerminalEncoder* enc, uint32_t bg) { return enc->fg == TERMINAL_UNKNOWN_COLOUR ? bg : enc->fg; }

// Of the colour states that would draw something next, the one whose change costs the fewest bytes,
// and of those the one that draws the most cells (a state draws the group asking for its colours and
// the blank cells on its background). Looked at: the colours in effect, a change of the background
// alone (the largest groups with the foreground in effect, the largest blank group), of the
// foreground alone (the largest groups on the background in effect), and the largest group left.
// Returns 0 when all is drawn.
static int next_state(const TerminalEncoder* enc, uint32_t* fg, uint32_t* bg)
{
    int best_cost = 1 << 30, best_gain = 0;
    auto consider = [&](uint32_t f, uint32_t b, int gain) {
        if (!gain)
            return;
        int cost = colours_cost(enc, f, b);
        if (cost < best_cost || (cost == best_cost && gain > best_gain))
            best_cost = cost, best_gain = gain, *fg = f, *bg = b;
    };
    uint32_t keep = blank_fg(enc, enc->bg);
    consider(keep, enc->bg, left_in(find_group(keep, enc->bg)) + left_in(find_group(ANY_COLOUR, enc->bg)));
    if (best_cost == 0)
        return 1;
    while (plan.blank_at < plan.blanks && plan.group[plan.blank[plan.blank_at]].done)
        plan.blank_at++;
    if (plan.blank_at < plan.blanks) {
        int b = plan.blank[plan.blank_at];
        uint32_t f = blank_fg(enc, plan.group[b].bg);
        consider(f, plan.group[b].bg, left_in(b) + left_in(find_group(f, plan.group[b].bg)));
    }
    while (plan.solid_at < plan.solids && plan.group[plan.solid[plan.solid_at]].done)
        plan.solid_at++;
    if (plan.solid_at < plan.solids) {
        const Group* g = &plan.group[plan.solid[plan.solid_at]];
        consider(g->fg, g->bg, g->count + left_in(g->blanks));
    }
    // The largest few groups sharing a colour with the state in effect: the bytes of their other
    // colour differ little, their sizes much.
    int looked = 0;
    for (int id = chains_of(enc->fg)->fg; id >= 0 && looked < SHARED_LOOKS; id = plan.group[id].same_fg)
        if (!plan.group[id].done)
            consider(enc->fg, plan.group[id].bg, plan.group[id].count + left_in(plan.group[id].blanks)), looked++;
    looked = 0;
    for (int id = chains_of(enc->bg)->bg; id >= 0 && looked < SHARED_LOOKS; id = plan.group[id].same_bg)
        if (!plan.group[id].done)
            consider(plan.group[id].fg, enc->bg, plan.group[id].count + left_in(plan.group[id].blanks)), looked++;
    return best_gain > 0;
}

// Changed cell n in colours (fg, bg): the cursor moved there, the colours set where they
// differ from those in effect, the glyph.
static char* put_cell(TerminalEncoder* enc, char* p, int n, uint32_t fg, uint32_t bg)
{
    int i = plan.cell[n], x = plan.x[n], y = plan.y[n];
    const TermCell* c = &enc->target[i];
    enc->shown[i] = *c;
    p = move_cursor(enc, p, x, y);
    p = set_colours(enc, p, fg, bg);
    if (enc->charset == TERMINAL_CHARSET_ASCII) {
        *p++ = c->glyph >= TERMINAL_GLYPH_QUADRANTS ? ascii_quadrants(c->glyph) : CP437_ASCII[c->glyph & 255];
    } else {
        const Glyph* g = &utf8_glyphs[c->glyph < GLYPHS ? c->glyph : ' '];
        memcpy(p, g->bytes, g->len);
        p += g->len;
    }
    // In the last column the cursor stays put (auto-wrap is off) or waits to wrap: either way the next
    // cell needs an absolute move.
    enc->cursor_x = x + 1 < enc->cols ? x + 1 : -1;
    return p;
}

// Draws the planned cells one colour state at a time; within a state its cells in row order.
static char* put_changes(TerminalEncoder* enc, char* p)
{
    uint32_t fg, bg;
    while (next_state(enc, &fg, &bg)) {
        int a = find_group(fg, bg), b = find_group(ANY_COLOUR, bg);
        int ca = a >= 0 && !plan.group[a].done ? plan.group[a].first : -1;
        int cb = b >= 0 && !plan.group[b].done ? plan.group[b].first : -1;
        while (ca >= 0 || cb >= 0) {   // the two groups merged in row order
            int n;
            if (cb < 0 || (ca >= 0 && ca < cb))
                n = ca, ca = plan.next[ca];
            else
                n = cb, cb = plan.next[cb];
            p = put_cell(enc, p, n, fg, bg);
        }
        if (a >= 0)
            plan.group[a].done = 1;
        if (b >= 0)
            plan.group[b].done = 1;
    }
    return p;
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

char* terminal_put_uint(char* p, unsigned v)
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
    int sent = plan_changes(enc, repaint);
    p = put_changes(enc, p);
    enc->cells_sent = sent;
    if (p == opened)
        return 0;   // nothing changed: nothing to send
    p = put_literal(p, "\x1b[?2026l");
    return (size_t)(p - out);
}
