// terminal_session.cpp -- what every host's terminal session shares: the enter and restore sequences, the environment, the queries, the input path
//
// The host's session file (a tty, a Windows console) owns the terminal and its I/O; the bytes it
// sends to switch the terminal and back, what it makes of the environment, and what it does with the
// bytes it reads are the same everywhere and live here.
#include "platform/terminal/terminal_local.h"

#include <cstdlib>
#include <cstring>

// ---- state ----

TerminalSession terminal_session;

static struct {
    TerminalKeys keys;
    TerminalReplies replies;          // in front of the key decoder
} input;

// ---- internal functions ----

static char* append(char* p, const char* end, const char* s)
{
    while (*s && p < end)
        *p++ = *s++;
    return p;
}

static char* append_int(char* p, const char* end, int v)
{
    char digits[12];
    char* d = terminal_put_uint(digits, v < 0 ? 0u : (unsigned)v);
    for (char* c = digits; c < d && p < end; c++)
        *p++ = *c;
    return p;
}

static char* append_size(char* p, const char* end, int cols, int rows)
{
    p = append(p, end, "\x1b[8;");
    p = append_int(p, end, rows);
    p = append(p, end, ";");
    p = append_int(p, end, cols);
    return append(p, end, "t");
}

// 24-bit colour where the terminal says so (COLORTERM), and by default on xterm and the many
// terminals that call themselves xterm-something, which all take 24-bit SGR; Apple's Terminal calls
// itself xterm-256color without taking it. Windows Terminal says WT_SESSION.
static int terminal_takes_24bit(void)
{
    const char* force = getenv("KERV16_COLOURS");
    if (force && strcmp(force, "16") == 0)
        return 0;
    if (force && strcmp(force, "24") == 0)
        return 1;
    const char* c = getenv("COLORTERM");
    if (c && (strstr(c, "truecolor") || strstr(c, "24bit")))
        return 1;
    const char* t = getenv("TERM");
    const char* program = getenv("TERM_PROGRAM");
    if (program && strcmp(program, "Apple_Terminal") == 0)
        return 0;
    return (t && (strncmp(t, "xterm", 5) == 0 || strstr(t, "-direct"))) || getenv("WT_SESSION");
}

static int env_is(const char* name, const char* value)
{
    const char* v = getenv(name);
    return v && strcmp(v, value) == 0;
}

static int env_starts(const char* name, const char* prefix)
{
    const char* v = getenv(name);
    return v && strncmp(v, prefix, strlen(prefix)) == 0;
}

// What the replies so far have said, into the session.
static void take_replies(void)
{
    TerminalSession* s = &terminal_session;
    const TerminalReplies* r = &input.replies;
    s->kitty = r->kitty > 0;
    s->kitty_shm = r->kitty_shm > 0;
    s->sixel = r->sixel;
    s->max_w = r->max_w;
    s->max_h = r->max_h;
    if (s->cell_w == 0 && r->cell_w > 0 && r->cell_h > 0) {
        s->cell_w = r->cell_w;
        s->cell_h = r->cell_h;
        s->changed = 1;
    }
    if (r->da1 && !s->answered)
        s->answered = 1;
}

// ---- public functions ----

int terminal_enter_sequence(const TerminalScreen* screen, char* out)
{
    char* p = out;
    const char* end = out + TERMINAL_SEQUENCE_BYTES;
    p = append(p, end, "\x1b[22;0t\x1b]0;");   // push the old title, then set ours
    p = append(p, end, screen->title);
    p = append(p, end, "\x07\x1b[?1049h\x1b[?25l\x1b[?7l");
    if (screen->grid_asked)
        p = append_size(p, end, screen->grid_cols, screen->grid_rows);
    if (screen->fullscreen_asked)
        p = append(p, end, "\x1b[10;1t");
    return (int)(p - out);
}

int terminal_restore_sequence(const TerminalScreen* screen, char* out)
{
    // CAN first: it ends any sequence a frame cut short left open.
    char* p = out;
    const char* end = out + TERMINAL_SEQUENCE_BYTES;
    p = append(p, end, "\x18\x1b[?2026l\x1b[0m");
    if (screen->pictures_kitty) {
        p = append(p, end, "\x1b_Ga=d,d=I,i=");   // kitty's image deleted, its store freed
        p = append_int(p, end, TERMINAL_KITTY_IMAGE_ID);
        p = append(p, end, ",q=2\x1b\\");
    }
    if (screen->pictures)
        p = append(p, end, "\x1b[2J");
    if (screen->fullscreen_asked)
        p = append(p, end, "\x1b[10;0t");
    if (screen->grid_asked)
        p = append_size(p, end, screen->start_cols, screen->start_rows);
    p = append(p, end, "\x1b[?7h\x1b[?25h\x1b[?1049l\x1b[23;0t");
    return (int)(p - out);
}

int terminal_size_sequence(int cols, int rows, char* out)
{
    return (int)(append_size(out, out + 32, cols, rows) - out);
}

void terminal_screen_title(TerminalScreen* screen, const char* title)
{
    // Control bytes would end the title sequence early.
    int n = 0;
    for (const char* c = title ? title : ""; *c && n < (int)sizeof screen->title - 1; c++)
        if ((uint8_t)*c >= 0x20 && *c != 0x7F)
            screen->title[n++] = *c;
    screen->title[n] = 0;
}

// tmux and screen keep a text copy of the screen, so the text layouts stay there; some terminals
// name themselves.
void terminal_session_environment(TerminalSession* s)
{
    s->muxed = getenv("TMUX") || getenv("STY") || env_starts("TERM", "screen") || env_starts("TERM", "tmux");
    s->env_kitty = env_is("TERM", "xterm-kitty") || env_is("TERM", "xterm-ghostty") || getenv("KITTY_WINDOW_ID") ||
                   env_is("TERM_PROGRAM", "ghostty") || env_is("TERM_PROGRAM", "WezTerm");
    s->env_kitty_itself = env_is("TERM", "xterm-kitty") || getenv("KITTY_WINDOW_ID");
    s->env_sixel = getenv("KONSOLE_VERSION") || env_is("TERM_PROGRAM", "iTerm.app") || env_starts("TERM", "foot") ||
                   env_starts("TERM", "mlterm") || getenv("WT_SESSION");
    s->colours = terminal_takes_24bit() ? TERMINAL_COLOURS_24BIT : TERMINAL_COLOURS_16;
}

int terminal_detect_queries(const char* shm_name, int ask_cell, char* out)
{
    char* p = out;
    const char* end = out + 512;
    // kitty's protocol: a one-pixel query that stores nothing, then the same through shared memory,
    // which only a terminal on this machine can read.
    p = append(p, end, "\x1b_Gi=31,s=1,v=1,a=q,t=d,f=24;AAAA\x1b\\");
    if (shm_name) {
        static const char B64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const uint8_t* name = (const uint8_t*)shm_name;
        size_t len = strlen(shm_name);
        char enc[96];
        int e = 0;
        for (size_t i = 0; i < len && e + 4 < (int)sizeof enc; i += 3) {
            uint32_t v = (uint32_t)name[i] << 16 | (i + 1 < len ? name[i + 1] << 8 : 0) | (i + 2 < len ? name[i + 2] : 0);
            enc[e++] = B64[v >> 18];
            enc[e++] = B64[(v >> 12) & 63];
            enc[e++] = i + 1 < len ? B64[(v >> 6) & 63] : '=';
            enc[e++] = i + 2 < len ? B64[v & 63] : '=';
        }
        enc[e] = 0;
        p = append(p, end, "\x1b_Gi=32,s=1,v=1,a=q,t=s,f=24,S=3;");
        p = append(p, end, enc);
        p = append(p, end, "\x1b\\");
    }
    // The largest sixel picture it takes, the cell size where the host does not say, then DA1.
    p = append(p, end, "\x1b[?2;4;0S");
    if (ask_cell)
        p = append(p, end, "\x1b[16t");
    p = append(p, end, "\x1b[c");
    return (int)(p - out);
}

void terminal_input_reset(int raw, int awaiting, uint32_t now_ms)
{
    terminal_keys_init(&input.keys);
    input.keys.raw = raw;   // keys as typed: Escape with a key after it is Alt with that key
    terminal_replies_init(&input.replies, awaiting, now_ms);
}

void terminal_input_feed(const uint8_t* bytes, size_t n, uint32_t now_ms)
{
    enum { CHUNK = 256 };
    uint8_t keys[(int)CHUNK + (int)TERMINAL_REPLY_HOLD];
    while (n > 0) {
        size_t part = n < (size_t)CHUNK ? n : (size_t)CHUNK;
        size_t k = terminal_replies_feed(&input.replies, bytes, part, now_ms, keys);
        terminal_keys_feed(&input.keys, keys, k, now_ms);
        bytes += part;
        n -= part;
    }
    size_t k = terminal_replies_tick(&input.replies, now_ms, keys);
    terminal_keys_feed(&input.keys, keys, k, now_ms);
    terminal_keys_tick(&input.keys, now_ms);
    if (input.replies.replies || input.replies.da1 || !input.replies.awaiting)
        take_replies();
}

int terminal_input_pending_escape(void) { return terminal_keys_pending_escape(&input.keys); }

int terminal_input_awaiting(void) { return input.replies.awaiting; }

const TerminalReplies* terminal_input_replies(void) { return &input.replies; }
