// terminal_replies.cpp -- the terminal's answers to the detection queries, taken out of the input before the key decoder sees it
//
// Every sequence that begins with Escape is held until it ends. A reply (DA1, XTSMGRAPHICS, a cell or
// text-area size, a kitty graphics answer) is read and dropped; strings (APC, DCS, OSC, PM, SOS) are
// never keys and are dropped whole; any other sequence (an arrow, a function key) and every plain
// byte go on to the key decoder as they came. Held bytes are bounded in number and in time.
#include "platform/terminal_pixels.h"

#include <cstring>

// ---- types ----

enum {
    REPLY_GROUND,      // plain bytes are keys
    REPLY_ESCAPE,      // an Escape arrived
    REPLY_CSI,         // ESC [ parameters... final
    REPLY_STRING,      // ESC _ / P / ] / ^ / X ... up to BEL or ESC backslash
    REPLY_STRING_ESC,  // an Escape inside a string: its end, or a new sequence
};

// ---- internal functions ----

// Up to `most` numbers separated by ';' from p (len bytes); returns how many were read. Empty fields
// count as 0; digits beyond the clamp are ignored.
static int read_numbers(const uint8_t* p, int len, int* values, int most)
{
    int n = 0, v = 0, any = 0;
    for (int i = 0; i < len; i++) {
        if (p[i] >= '0' && p[i] <= '9') {
            v = v * 10 + (p[i] - '0');
            if (v > TERMINAL_REPLY_LIMIT)
                v = TERMINAL_REPLY_LIMIT;
            any = 1;
        } else if (p[i] == ';') {
            if (n < most)
                values[n] = v;
            n++;
            v = 0;
            any = 0;
        } else {
            return 0;   // not a list of numbers
        }
    }
    if (any || n > 0) {
        if (n < most)
            values[n] = v;
        n++;
    }
    return n < most ? n : most;
}

// A finished CSI sequence held[0..len) (ESC [ ... final): 1 when it was a reply (then read).
static int take_csi(TerminalReplies* r)
{
    const uint8_t* p = r->held + 2;
    int len = r->held_len - 3;
    uint8_t final = r->held[r->held_len - 1];
    int v[16] = {0};
    if (len > 0 && p[0] == '?' && final == 'c') {
        // DA1: ESC [ ? class ; attributes... c. The last reply of the batch.
        int n = read_numbers(p + 1, len - 1, v, 16);
        for (int i = 1; i < n; i++)
            if (v[i] == 4)
                r->sixel = 1;
        r->da1 = 1;
        r->awaiting = 0;
        return 1;
    }
    if (len > 0 && p[0] == '?' && final == 'S') {
        // XTSMGRAPHICS: ESC [ ? item ; status ; values S; item 2 is the sixel geometry.
        int n = read_numbers(p + 1, len - 1, v, 4);
        if (n == 4 && v[0] == 2 && v[1] == 0) {
            r->max_w = v[2];
            r->max_h = v[3];
        }
        return 1;
    }
    if (final == 't') {
        // Window reports: ESC [ 6 ; h ; w t (a cell), ESC [ 4 ; h ; w t (the text area).
        int n = read_numbers(p, len, v, 3);
        if (n == 3 && v[0] == 6) {
            r->cell_h = v[1];
            r->cell_w = v[2];
            return 1;
        }
        if (n == 3 && v[0] == 4) {
            r->area_h = v[1];
            r->area_w = v[2];
            return 1;
        }
        return n > 0;   // any other report: not a key either
    }
    return 0;
}

// A finished string whose first bytes are held (after ESC and its introducer): a kitty graphics
// answer is ESC _ G key=value,... ; message.
static void take_string(TerminalReplies* r)
{
    r->replies++;
    const uint8_t* p = r->held + 2;
    int len = r->held_len - 2;
    if (r->held[1] != '_' || len < 1 || p[0] != 'G')
        return;
    int id = -1, i = 1;
    while (i < len && p[i] != ';') {
        if (p[i] == 'i' && i + 1 < len && p[i + 1] == '=') {
            int v = 0, k = i + 2;
            while (k < len && p[k] >= '0' && p[k] <= '9' && v < TERMINAL_REPLY_LIMIT)
                v = v * 10 + (p[k++] - '0');
            id = v;
        }
        while (i < len && p[i] != ',' && p[i] != ';')
            i++;
        if (i < len && p[i] == ',')
            i++;
    }
    if (i >= len)
        return;
    int ok = len - i - 1 >= 2 && p[i + 1] == 'O' && p[i + 2] == 'K' ? 1 : -1;
    if (id == TERMINAL_KITTY_QUERY_ID)
        r->kitty = ok;
    else if (id == TERMINAL_KITTY_SHM_ID)
        r->kitty_shm = ok;
}

static void hold(TerminalReplies* r, uint8_t b)
{
    if (r->held_len < TERMINAL_REPLY_HOLD)
        r->held[r->held_len++] = b;
    else
        r->overflow = 1;
}

static void start_escape(TerminalReplies* r, uint32_t now_ms)
{
    r->state = REPLY_ESCAPE;
    r->held[0] = 0x1B;
    r->held_len = 1;
    r->overflow = 0;
    r->started_ms = now_ms;
}

// Hands the held bytes on to the keys.
static size_t release(TerminalReplies* r, uint8_t* out)
{
    size_t n = (size_t)r->held_len;
    memcpy(out, r->held, n);
    r->held_len = 0;
    r->state = REPLY_GROUND;
    return n;
}

static void forget(TerminalReplies* r)
{
    r->held_len = 0;
    r->overflow = 0;
    r->state = REPLY_GROUND;
}

// One byte; returns the bytes written to out (the byte itself, or a released sequence).
static size_t feed_byte(TerminalReplies* r, uint8_t b, uint32_t now_ms, uint8_t* out)
{
    switch (r->state) {
    case REPLY_GROUND:
        if (b == 0x1B) {
            start_escape(r, now_ms);
            return 0;
        }
        out[0] = b;
        return 1;
    case REPLY_ESCAPE:
        if (b == '[') {
            hold(r, b);
            r->state = REPLY_CSI;
            return 0;
        }
        if (b == '_' || b == 'P' || b == ']' || b == '^' || b == 'X') {
            hold(r, b);
            r->state = REPLY_STRING;
            return 0;
        }
        if (b == 0x1B) {
            // Two Escapes: the first stood alone.
            size_t n = release(r, out);
            start_escape(r, now_ms);
            return n;
        }
        hold(r, b);
        return release(r, out);   // ESC O x, Alt+key, Escape then Enter: the key decoder's
    case REPLY_CSI:
        if (b == 0x1B) {
            // An Escape cancels an unfinished sequence, as it does in the key decoder.
            size_t n = r->overflow ? (forget(r), 0) : release(r, out);
            start_escape(r, now_ms);
            return n;
        }
        hold(r, b);
        if (b >= 0x40 && b <= 0x7E) {
            if (r->overflow) {
                forget(r);   // longer than any key sequence and any reply read
                return 0;
            }
            if (take_csi(r)) {
                r->replies++;
                forget(r);
                return 0;
            }
            return release(r, out);
        }
        if (b == 0x18 || b == 0x1A)
            return r->overflow ? (forget(r), 0) : release(r, out);   // CAN, SUB
        return 0;
    case REPLY_STRING:
        if (b == 0x07 || b == 0x18 || b == 0x1A) {
            take_string(r);
            forget(r);
        } else if (b == 0x1B) {
            r->state = REPLY_STRING_ESC;
        } else {
            hold(r, b);
        }
        return 0;
    case REPLY_STRING_ESC:
        if (b == '\\') {
            take_string(r);
            forget(r);
            return 0;
        }
        // The Escape began a new sequence: the string is over.
        forget(r);
        start_escape(r, now_ms);
        return feed_byte(r, b, now_ms, out);
    }
    return 0;
}

// ---- public functions ----

void terminal_replies_init(TerminalReplies* r, int awaiting, uint32_t now_ms)
{
    memset(r, 0, sizeof *r);
    r->awaiting = awaiting;
    r->asked_ms = now_ms;
}

size_t terminal_replies_feed(TerminalReplies* r, const uint8_t* in, size_t n, uint32_t now_ms, uint8_t* out)
{
    size_t w = 0;
    for (size_t i = 0; i < n; i++)
        w += feed_byte(r, in[i], now_ms, out + w);
    // Outside the wait a lone Escape goes on at once: the key decoder times it as it always has.
    if (r->state == REPLY_ESCAPE && !r->awaiting)
        w += release(r, out + w);
    return w;
}

size_t terminal_replies_tick(TerminalReplies* r, uint32_t now_ms, uint8_t* out)
{
    if (r->awaiting && (uint32_t)(now_ms - r->asked_ms) >= TERMINAL_REPLY_AWAIT_MS)
        r->awaiting = 0;
    if (r->state == REPLY_GROUND)
        return 0;
    uint32_t age = now_ms - r->started_ms;
    if (r->state == REPLY_ESCAPE && (!r->awaiting || age >= TERMINAL_REPLY_ESCAPE_MS))
        return release(r, out);
    if (age < TERMINAL_REPLY_STALE_MS)
        return 0;
    // Cut short for good: nothing of it is a key, except an Escape that may have been one.
    size_t n = 0;
    if (r->state == REPLY_STRING_ESC) {
        out[0] = 0x1B;
        n = 1;
    }
    forget(r);
    return n;
}
