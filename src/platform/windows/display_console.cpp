// display_console.cpp -- the Windows console display: 80 x 50 CHAR_INFO cells in one write, keys from conio
//
// On Windows the console is the show's own display: the first row of the build's display table.
// Threading: the console control handler (Ctrl+C, closing the window) runs on a thread of its own;
// it only raises `quit`, and restores the console itself when Windows is about to end the process.
#include "platform/display.h"

#include <windows.h>
#include <conio.h>

#include <cstdio>
#include <cstring>

// ---- types ----

typedef BOOL(WINAPI* SetDisplayMode)(HANDLE, DWORD, PCOORD);

enum {
    MODE_FULLSCREEN = 1,     // CONSOLE_FULLSCREEN_MODE
    MODE_WINDOWED = 2,       // CONSOLE_WINDOWED_MODE
    CLOSE_WAIT_MS = 3000,    // how long a closing console waits for the main loop to restore it
    TITLE_BYTES = 1024,
};

// ---- state ----

static struct {
    HANDLE out;                      // console output handle; null while closed
    int own_out;                     // 1: out is CONOUT$, opened here because stdout is redirected
    int opened;                      // 1 between open and close
    CONSOLE_SCREEN_BUFFER_INFO saved;// size and window before open
    CONSOLE_CURSOR_INFO saved_cursor;
    UINT saved_code_page;
    char saved_title[TITLE_BYTES];
    int fullscreen;                  // 1 after a successful switch to full screen
    volatile LONG quit;              // raised by the control handler; read as an Escape
    int quit_sent;                   // that Escape has gone into the key queue
    volatile LONG restored;          // 1 once the console is back as it was (either thread)
    HANDLE restored_event;           // set when the main thread has restored the console
    long frames;                     // frames written, for --stats
    CHAR_INFO cells[DISPLAY_CELLS];  // the frame as written
} con;

// ---- internal functions ----

static SMALL_RECT grid_rect(int cols, int rows) { return SMALL_RECT{0, 0, (SHORT)(cols - 1), (SHORT)(rows - 1)}; }

static SetDisplayMode display_mode_call(void)
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    FARPROC call = kernel ? GetProcAddress(kernel, "SetConsoleDisplayMode") : nullptr;
    if (!call || IsBadCodePtr(call))
        return nullptr;
    return (SetDisplayMode)(void*)call;
}

// Puts back size, title, cursor and code page; safe to call from either thread, runs once.
static void restore_console(void)
{
    if (InterlockedExchange(&con.restored, 1))
        return;
    if (con.fullscreen) {
        SetDisplayMode set_mode = display_mode_call();
        COORD size;
        if (set_mode)
            set_mode(con.out, MODE_WINDOWED, &size);
    }
    // Shrink the window first: a buffer can only shrink around a window that fits in it.
    SMALL_RECT corner = {0, 0, 0, 0};
    SetConsoleWindowInfo(con.out, TRUE, &corner);
    SetConsoleScreenBufferSize(con.out, con.saved.dwSize);
    SetConsoleWindowInfo(con.out, TRUE, &con.saved.srWindow);
    SetConsoleCursorInfo(con.out, &con.saved_cursor);
    SetConsoleOutputCP(con.saved_code_page);
    SetConsoleTitleA(con.saved_title);
}

static BOOL WINAPI on_control(DWORD event)
{
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        // A second one ends the process at once, with the console put back first.
        if (InterlockedExchange(&con.quit, 1)) {
            restore_console();
            return FALSE;
        }
        return TRUE;
    }
    // Closing the window, logging off, shutting down: Windows ends the process when this returns.
    InterlockedExchange(&con.quit, 1);
    if (con.restored_event)
        WaitForSingleObject(con.restored_event, CLOSE_WAIT_MS);
    restore_console();
    return TRUE;
}

// stdout may be a file or a pipe; the console itself is still there as CONOUT$.
static HANDLE find_console(int* own)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    *own = 0;
    if (out && out != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(out, &info))
        return out;
    out = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return nullptr;
    if (!GetConsoleScreenBufferInfo(out, &info)) {
        CloseHandle(out);
        return nullptr;
    }
    *own = 1;
    return out;
}

static int console_open(const DisplaySettings* settings)
{
    if (con.opened)
        return 1;
    // The console shows the 80 x 50 cells as they are; terminal layouts belong to the Linux build.
    if (settings->layout != DISPLAY_LAYOUT_AUTO) {
        msg_print(stderr, "kerv16: --layout is not available in this build (the Windows console build)\n");
        return 0;
    }
    con.out = find_console(&con.own_out);
    if (!con.out) {
        msg_print(stderr, "kerv16: there is no console to draw on; start kerv16.exe from cmd or by double-click\n");
        return 0;
    }
    GetConsoleScreenBufferInfo(con.out, &con.saved);
    GetConsoleCursorInfo(con.out, &con.saved_cursor);
    con.saved_code_page = GetConsoleOutputCP();
    if (!GetConsoleTitleA(con.saved_title, TITLE_BYTES))
        con.saved_title[0] = 0;
    con.quit = 0;
    con.quit_sent = 0;
    con.restored = 0;
    con.fullscreen = 0;
    con.frames = 0;
    con.restored_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(on_control, TRUE);
    SetConsoleTitleA(settings->title ? settings->title : "");
    // The cells' characters are code page 437 glyphs.
    SetConsoleOutputCP(437);
    CONSOLE_CURSOR_INFO hidden = con.saved_cursor;
    hidden.bVisible = FALSE;
    SetConsoleCursorInfo(con.out, &hidden);
    con.opened = 1;
    msg_hold(1);
    return 1;
}

// Buffer first, then window, as a console that is smaller than the grid needs. A window larger than
// the new buffer stops the buffer from shrinking, so then the window shrinks first and both go again.
static void console_set_grid(int cols, int rows, int fullscreen)
{
    if (!con.opened)
        return;
    COORD size = {(SHORT)cols, (SHORT)rows};
    SMALL_RECT window = grid_rect(cols, rows);
    if (!SetConsoleScreenBufferSize(con.out, size)) {
        SMALL_RECT corner = {0, 0, 0, 0};
        SetConsoleWindowInfo(con.out, TRUE, &corner);
        SetConsoleScreenBufferSize(con.out, size);
    }
    SetConsoleWindowInfo(con.out, TRUE, &window);
    if (!fullscreen)
        return;
    SetDisplayMode set_mode = display_mode_call();
    if (set_mode && set_mode(con.out, MODE_FULLSCREEN, &size))
        con.fullscreen = 1;
}

static void console_write(const DisplayCell* cells)
{
    if (!con.opened)
        return;
    for (int i = 0; i < DISPLAY_CELLS; i++) {
        con.cells[i].Char.AsciiChar = (CHAR)cells[i].ch;
        con.cells[i].Attributes = cells[i].attr;
    }
    COORD size = {DISPLAY_COLS, DISPLAY_ROWS};
    COORD origin = {0, 0};
    SMALL_RECT region = grid_rect(DISPLAY_COLS, DISPLAY_ROWS);
    WriteConsoleOutputA(con.out, con.cells, size, origin, &region);
    con.frames++;
}

// Ctrl+C and closing the window read as Escape, so the show ends in its own order.
static void console_poll(void)
{
    if (con.quit && !con.quit_sent)
        con.quit_sent = display_push_key(KEY_ESCAPE);
    while (_kbhit() && display_push_key(_getch())) {
    }
}

// The input handle is signalled while console input waits, so a key cuts a timed wait short; an
// endless wait is a read of the next key.
static int console_wait(int ms)
{
    if (con.quit)
        return !con.quit_sent;   // after the quit's Escape, nothing more is waited for
    if (ms < 0) {
        display_push_key(_getch());
        return 1;
    }
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (in && in != INVALID_HANDLE_VALUE && WaitForSingleObject(in, (DWORD)ms) != WAIT_FAILED)
        return 1;
    Sleep((DWORD)ms);
    return 1;
}

// The console is handed whole frames; the bytes are those of the CHAR_INFO cells.
static int console_stats(DisplayStats* stats)
{
    stats->frames = con.frames;
    stats->writes = con.frames;
    stats->bytes = (long long)con.frames * (long long)sizeof con.cells;
    stats->largest = con.frames ? (long)sizeof con.cells : 0;
    snprintf(stats->detail, sizeof stats->detail, "layout grid in a terminal of %d x %d cells", DISPLAY_COLS,
             DISPLAY_ROWS);
    return 1;
}

static int console_close(void)
{
    if (!con.opened)
        return 1;
    restore_console();
    SetEvent(con.restored_event);
    SetConsoleCtrlHandler(on_control, FALSE);
    if (con.own_out)
        CloseHandle(con.out);
    con.opened = 0;
    msg_hold(0);
    return 1;
}

// ---- public functions ----

extern const DisplayDriver display_console_driver;  // a row of the display table
const DisplayDriver display_console_driver = {
    .name = "console",
    .live = 1,
    .open = console_open,
    .set_grid = console_set_grid,
    .write_cells = console_write,
    .poll = console_poll,
    .wait = console_wait,
    .stats = console_stats,
    .close = console_close,
    .own_text = 0,
};
