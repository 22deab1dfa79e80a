// terminal_console.cpp -- the terminal session on a Windows console in virtual-terminal mode, or on a file or pipe
//
// Inside a pseudoconsole (Windows Terminal, VS Code, SSH) the console passes VT sequences through to
// the terminal, so the terminal display draws there as it does on Linux: output as UTF-8 with
// virtual-terminal processing on, keys read as console input records (as VT sequences where the
// console translates them, else from their virtual-key codes), size changes as buffer-size events.
// When standard output is a file or a pipe the frames go there as they are, as on Linux.
// Ctrl+C, closing the tab and a crash reach the restore through the guard (console_guard.cpp).
#include "platform/terminal/terminal_local.h"

#include <windows.h>

#include <cstring>

#include "platform/clock.h"
#include "platform/windows/windows_local.h"

// ---- types ----

enum {
    RECORDS = 64,              // console input records read per call
};

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif
#ifndef DISABLE_NEWLINE_AUTO_RETURN
#define DISABLE_NEWLINE_AUTO_RETURN 0x0008
#endif
#ifndef ENABLE_VIRTUAL_TERMINAL_INPUT
#define ENABLE_VIRTUAL_TERMINAL_INPUT 0x0200
#endif

// ---- state ----

static struct {
    HANDLE out, in;
    int keyboard;                      // 1: in is a console whose records can be read
    int vt_input;                      // 1: the console sends keys as VT sequences
    DWORD saved_out_mode, saved_in_mode;
    UINT saved_cp, saved_input_cp;
    int modes_set;                     // 1: the modes and code pages above are to be put back
    TerminalScreen screen;
    char restore[TERMINAL_SEQUENCE_BYTES];
    int restore_len;
    int quit_sent;
    volatile LONG restored;            // 1 once the console is back as it was (either thread)
    int resized;                       // a buffer-size event came
} con;

// ---- internal functions ----

static int write_all(const char* p, size_t n, long* writes)
{
    while (n > 0) {
        DWORD w = 0;
        if (writes)
            (*writes)++;
        if (!WriteFile(con.out, p, (DWORD)n, &w, nullptr) || w == 0)
            return -1;
        p += w;
        n -= w;
    }
    return 0;
}

// Puts back what open changed; safe from either thread and from a crash, runs once.
static void restore_console(void)
{
    if (!con.modes_set || InterlockedExchange(&con.restored, 1))
        return;
    write_all(con.restore, (size_t)con.restore_len, nullptr);
    SetConsoleMode(con.out, con.saved_out_mode);
    if (con.keyboard)
        SetConsoleMode(con.in, con.saved_in_mode);
    SetConsoleOutputCP(con.saved_cp);
    SetConsoleCP(con.saved_input_cp);
}

static void query_size(void)
{
    TerminalSession* s = &terminal_session;
    CONSOLE_SCREEN_BUFFER_INFO info;
    s->cols = DISPLAY_COLS;
    s->rows = DISPLAY_ROWS;
    if (s->tty && GetConsoleScreenBufferInfo(con.out, &info)) {
        int cols = info.srWindow.Right - info.srWindow.Left + 1;
        int rows = info.srWindow.Bottom - info.srWindow.Top + 1;
        if (cols > 0 && rows > 0) {
            s->cols = cols;
            s->rows = rows;
        }
    }
    const TerminalReplies* r = terminal_input_replies();
    s->cell_w = r->cell_w > 0 && r->cell_h > 0 ? r->cell_w : 0;   // as the terminal answered CSI 16 t
    s->cell_h = s->cell_w ? r->cell_h : 0;
    s->changed = 1;
}

// A key that came as a virtual-key code (no VT input): its sequence, as a terminal would send it.
static int key_bytes(const KEY_EVENT_RECORD* k, uint8_t* out)
{
    static const struct {
        WORD vk;
        const char* seq;
    } KEYS[] = {{VK_LEFT, "\x1b[D"}, {VK_RIGHT, "\x1b[C"}, {VK_UP, "\x1b[A"}, {VK_DOWN, "\x1b[B"}, {VK_HOME, "\x1b[H"}};
    for (const auto& key : KEYS)
        if (k->wVirtualKeyCode == key.vk) {
            size_t n = strlen(key.seq);
            memcpy(out, key.seq, n);
            return (int)n;
        }
    unsigned c = k->uChar.UnicodeChar;
    if (c == 0)
        return 0;
    if (c < 0x80) {
        out[0] = (uint8_t)c;
        return 1;
    }
    if (c < 0x800) {
        out[0] = (uint8_t)(0xC0 | c >> 6);
        out[1] = (uint8_t)(0x80 | (c & 63));
        return 2;
    }
    out[0] = (uint8_t)(0xE0 | c >> 12);
    out[1] = (uint8_t)(0x80 | ((c >> 6) & 63));
    out[2] = (uint8_t)(0x80 | (c & 63));
    return 3;
}

// ---- public functions ----

void terminal_session_open(const char* title)
{
    TerminalSession* s = &terminal_session;
    if (s->open)
        return;
    memset(&con.screen, 0, sizeof con.screen);
    con.out = GetStdHandle(STD_OUTPUT_HANDLE);
    con.in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    s->tty = con.out && con.out != INVALID_HANDLE_VALUE && GetConsoleMode(con.out, &mode);
    con.saved_out_mode = mode;
    con.keyboard = s->tty && con.in && con.in != INVALID_HANDLE_VALUE && GetConsoleMode(con.in, &con.saved_in_mode);
    con.restored = 0;
    con.quit_sent = con.resized = 0;
    con.modes_set = 0;
    s->asked = s->answered = s->kitty = s->kitty_shm = s->sixel = s->max_w = s->max_h = 0;
    terminal_session_environment(s);
    s->charset = TERMINAL_CHARSET_UTF8;
    terminal_screen_title(&con.screen, title);
    terminal_input_reset(1, 0, clock_ticks());
    query_size();
    con.screen.start_cols = s->cols;
    con.screen.start_rows = s->rows;
    s->open = 1;
    msg_hold(1);
    console_guard_start(restore_console);
    if (!s->tty)
        return;   // frames go to a file or pipe as they are; nothing is switched
    con.saved_cp = GetConsoleOutputCP();
    con.saved_input_cp = GetConsoleCP();
    SetConsoleMode(con.out, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING | DISABLE_NEWLINE_AUTO_RETURN);
    if (con.keyboard) {
        // Ctrl+C stays a control event; no echo, no line editing; keys as VT sequences where the console can.
        DWORD in_mode = (con.saved_in_mode | ENABLE_WINDOW_INPUT | ENABLE_PROCESSED_INPUT) &
                        ~(DWORD)(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_MOUSE_INPUT | ENABLE_QUICK_EDIT_MODE);
        con.vt_input = SetConsoleMode(con.in, in_mode | ENABLE_VIRTUAL_TERMINAL_INPUT | ENABLE_EXTENDED_FLAGS) != 0;
        if (!con.vt_input)
            SetConsoleMode(con.in, in_mode | ENABLE_EXTENDED_FLAGS);
    }
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
    con.restore_len = terminal_restore_sequence(&con.screen, con.restore);
    con.modes_set = 1;
    char enter[TERMINAL_SEQUENCE_BYTES];
    write_all(enter, (size_t)terminal_enter_sequence(&con.screen, enter), nullptr);
}

// A pseudoconsole is the tab's size: a size request only goes out as the sequence, which most
// terminals here ignore.
void terminal_session_request(int cols, int rows, int fullscreen)
{
    TerminalSession* s = &terminal_session;
    if (!s->open || !s->tty)
        return;
    con.screen.grid_cols = cols;
    con.screen.grid_rows = rows;
    con.screen.grid_asked = cols != con.screen.start_cols || rows != con.screen.start_rows;
    con.screen.fullscreen_asked = fullscreen != 0;
    con.restore_len = terminal_restore_sequence(&con.screen, con.restore);
    char seq[64];
    int n = con.screen.grid_asked ? terminal_size_sequence(cols, rows, seq) : 0;
    if (con.screen.fullscreen_asked) {
        memcpy(seq + n, "\x1b[10;1t", 7);
        n += 7;
    }
    write_all(seq, (size_t)n, nullptr);
}

int terminal_session_ready(void)
{
    TerminalSession* s = &terminal_session;
    if (!s->open)
        return 0;
    if (s->tty && con.resized) {
        con.resized = 0;
        query_size();
    }
    return 1;
}

void terminal_session_write(const char* bytes, size_t n, long* writes)
{
    write_all(bytes, n, writes);
}

void terminal_session_poll(void)
{
    uint32_t now = clock_ticks();
    DWORD waiting = 0;
    while (con.keyboard && GetNumberOfConsoleInputEvents(con.in, &waiting) && waiting > 0) {
        INPUT_RECORD records[RECORDS];
        DWORD got = 0;
        if (!ReadConsoleInputW(con.in, records, RECORDS, &got) || got == 0)
            break;
        uint8_t bytes[RECORDS * 8];
        size_t n = 0;
        for (DWORD i = 0; i < got; i++) {
            if (records[i].EventType == WINDOW_BUFFER_SIZE_EVENT)
                con.resized = 1;
            if (records[i].EventType != KEY_EVENT || !records[i].Event.KeyEvent.bKeyDown)
                continue;
            const KEY_EVENT_RECORD* k = &records[i].Event.KeyEvent;
            for (WORD r = 0; r < (k->wRepeatCount ? k->wRepeatCount : 1) && n + 8 <= sizeof bytes; r++) {
                if (con.vt_input) {
                    unsigned c = k->uChar.UnicodeChar;
                    if (c && c < 0x80)
                        bytes[n++] = (uint8_t)c;   // sequences arrive a character a record
                    else
                        n += (size_t)key_bytes(k, bytes + n);
                } else {
                    n += (size_t)key_bytes(k, bytes + n);
                }
            }
        }
        terminal_input_feed(bytes, n, now);
        if (got < RECORDS)
            break;
    }
    terminal_input_feed(nullptr, 0, now);
    if (console_guard_quit() && !con.quit_sent)
        con.quit_sent = display_push_key(KEY_QUIT);
}

int terminal_session_wait(int ms)
{
    if (console_guard_quit())
        return !con.quit_sent;
    if (!con.keyboard)
        return 0;
    if (terminal_input_pending_escape() && (ms < 0 || ms > TERMINAL_ESCAPE_MS))
        ms = TERMINAL_ESCAPE_MS;
    WaitForSingleObject(con.in, ms < 0 ? INFINITE : (DWORD)ms);
    return 1;
}

void terminal_session_detect(void)
{
    TerminalSession* s = &terminal_session;
    if (!s->open || !s->tty || s->asked || !con.keyboard)
        return;
    s->asked = 1;
    char q[512];
    int n = terminal_detect_queries(nullptr, 1, q);
    terminal_input_reset(1, 1, clock_ticks());
    write_all(q, (size_t)n, nullptr);
}

void terminal_session_await(uint32_t until_ms)
{
    while (terminal_session.asked && !terminal_session.answered && con.keyboard) {
        int left = (int)(until_ms - clock_ticks());
        if (left <= 0)
            break;
        WaitForSingleObject(con.in, (DWORD)left);
        terminal_session_poll();
    }
    if (terminal_session.cell_w == 0 && terminal_input_replies()->cell_w > 0)
        query_size();
}

// The console does not say how far behind the terminal is.
int terminal_session_busy(void) { return 0; }

void terminal_session_pictures(int kitty)
{
    if (con.screen.pictures && con.screen.pictures_kitty >= kitty)
        return;
    con.screen.pictures = 1;
    con.screen.pictures_kitty |= kitty;
    con.restore_len = terminal_restore_sequence(&con.screen, con.restore);
}

// No memory the terminal could read by name: kitty's pictures go inline.
int terminal_session_share(const uint8_t*, size_t, int, char*, size_t) { return 0; }
void terminal_session_unshare(int) {}

void terminal_session_close(void)
{
    TerminalSession* s = &terminal_session;
    if (!s->open)
        return;
    // Answers still on their way are read now rather than left to the shell (briefly: they may never come).
    if (s->tty && s->asked && !s->answered)
        terminal_session_await(clock_ticks() + 200);
    s->open = 0;
    msg_hold(0);
    restore_console();
    console_guard_stop();
}
