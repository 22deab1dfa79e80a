// display_console.cpp -- the Windows console display: 80 x 50 CHAR_INFO cells in one write in the 8 x 8 font, keys from conio
//
// On Windows the console is the show's own display: the first row of the build's display table. At
// open it looks at where it runs (console_host.cpp decides): in a console window it writes the cells
// itself, in the 8 x 8 raster font and the VGA colours, as the show was made to look; in a
// pseudoconsole (Windows Terminal) and into a file or pipe it hands every call to the terminal
// display, which speaks VT sequences there as on Linux.
// Ctrl+C, closing the window and a crash reach the restore through the guard (console_guard.cpp).
#include "platform/display.h"

#include <windows.h>
#include <conio.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/vga.h"
#include "platform/windows/windows_local.h"

// ---- types ----

typedef BOOL(WINAPI* SetDisplayMode)(HANDLE, DWORD, PCOORD);

enum {
    MODE_FULLSCREEN = 1,     // CONSOLE_FULLSCREEN_MODE
    MODE_WINDOWED = 2,       // CONSOLE_WINDOWED_MODE
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
    int font_set;                    // 1: the font and palette below are to be put back
    CONSOLE_FONT_INFOEX saved_font;
    COLORREF saved_palette[16];
    const DisplayDriver* vt;         // the terminal display every call goes to, or null for the cells
    ConsoleChoice choice;
    int fullscreen;                  // 1 after a successful switch to full screen
    int quit_sent;                   // that Escape has gone into the key queue
    volatile LONG restored;          // 1 once the console is back as it was (either thread)
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
    if (con.font_set) {
        SetCurrentConsoleFontEx(con.out, FALSE, &con.saved_font);
        CONSOLE_SCREEN_BUFFER_INFOEX info;
        memset(&info, 0, sizeof info);
        info.cbSize = sizeof info;
        if (GetConsoleScreenBufferInfoEx(con.out, &info)) {
            memcpy(info.ColorTable, con.saved_palette, sizeof info.ColorTable);
            info.srWindow.Right++;   // the call takes the window one larger than it reports
            info.srWindow.Bottom++;
            SetConsoleScreenBufferInfoEx(con.out, &info);
        }
    }
}

// The 8 x 8 raster font ("Terminal") and the VGA palette: the cells square, the picture 4 : 3 in the
// colours the show was drawn in. The user's font and palette are kept to be put back.
static void set_font_and_palette(void)
{
    memset(&con.saved_font, 0, sizeof con.saved_font);
    con.saved_font.cbSize = sizeof con.saved_font;
    CONSOLE_SCREEN_BUFFER_INFOEX info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    if (!GetCurrentConsoleFontEx(con.out, FALSE, &con.saved_font) || !GetConsoleScreenBufferInfoEx(con.out, &info))
        return;
    memcpy(con.saved_palette, info.ColorTable, sizeof con.saved_palette);
    con.font_set = 1;
    CONSOLE_FONT_INFOEX font;
    memset(&font, 0, sizeof font);
    font.cbSize = sizeof font;
    font.dwFontSize.X = VGA_GLYPH;
    font.dwFontSize.Y = VGA_GLYPH;
    font.FontFamily = FF_MODERN;
    font.FontWeight = FW_NORMAL;
    wcscpy(font.FaceName, L"Terminal");
    SetCurrentConsoleFontEx(con.out, FALSE, &font);
    for (int i = 0; i < 16; i++)
        info.ColorTable[i] = RGB(vga_palette[i][0], vga_palette[i][1], vga_palette[i][2]);
    info.srWindow.Right++;
    info.srWindow.Bottom++;
    SetConsoleScreenBufferInfoEx(con.out, &info);
}

// Where the show runs, as the host decision needs it.
static ConsoleChoice choose_host(const DisplaySettings* settings)
{
    ConsoleFacts facts;
    memset(&facts, 0, sizeof facts);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode;
    facts.out_console = out && out != INVALID_HANDLE_VALUE && GetConsoleMode(out, &mode);
    DWORD type = out && out != INVALID_HANDLE_VALUE ? GetFileType(out) : FILE_TYPE_UNKNOWN;
    facts.out_stream = !facts.out_console && (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE);
    HWND window = GetConsoleWindow();
    static char window_class[64];
    // Hidden console windows (a pseudoconsole's, Wine's console inside a Unix terminal) show nothing.
    facts.has_window = window != nullptr && IsWindowVisible(window);
    if (window && GetClassNameA(window, window_class, sizeof window_class) > 0)
        facts.window_class = window_class;
    DWORD list[4];
    facts.processes = (int)GetConsoleProcessList(list, 4);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    facts.wine = ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    facts.forced = settings->console ? settings->console : console_host_parse(getenv("KERV16_CONSOLE"));
    facts.relaunched = getenv(CONSOLE_RELAUNCH_MARKER) != nullptr;
    return console_host_choose(&facts);
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

extern const DisplayDriver display_terminal_driver;  // terminal/display_terminal.cpp

static int console_open(const DisplaySettings* settings)
{
    if (con.opened)
        return 1;
    const char* env = getenv("KERV16_CONSOLE");
    if (!settings->console && env && *env && !console_host_parse(env))
        msg_print(stderr, "kerv16: KERV16_CONSOLE takes classic, vt or text, not %s (ignored)\n", env);
    con.choice = choose_host(settings);
    if (con.choice.relaunch && console_host_relaunch()) {
        fflush(stdout);
        ExitProcess(0);   // the show goes on in the new window
    }
    con.vt = nullptr;
    if (con.choice.host != CONSOLE_HOST_CLASSIC || settings->layout != DISPLAY_LAYOUT_AUTO) {
        // The terminal display takes the layouts; a console window only shows its own cells.
        if (con.choice.host == CONSOLE_HOST_CLASSIC) {
            msg_print(stderr, "kerv16: --layout needs a terminal (--console vt, or Windows Terminal), not a console window\n");
            return 0;
        }
        con.vt = &display_terminal_driver;
        return con.vt->open(settings);
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
    con.quit_sent = 0;
    con.restored = 0;
    con.fullscreen = 0;
    con.frames = 0;
    SetConsoleTitleA(settings->title ? settings->title : "");
    // The cells' characters are code page 437 glyphs.
    SetConsoleOutputCP(437);
    CONSOLE_CURSOR_INFO hidden = con.saved_cursor;
    hidden.bVisible = FALSE;
    SetConsoleCursorInfo(con.out, &hidden);
    con.font_set = 0;
    if (con.choice.font)
        set_font_and_palette();
    console_guard_start(restore_console);
    con.opened = 1;
    msg_hold(1);
    return 1;
}

// Buffer first, then window, as a console that is smaller than the grid needs. A window larger than
// the new buffer stops the buffer from shrinking, so then the window shrinks first and both go again.
static void console_set_grid(int cols, int rows, int fullscreen)
{
    if (con.vt)
        return con.vt->set_grid(cols, rows, fullscreen);
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
    if (con.vt)
        return con.vt->write_cells(cells);
    if (!con.opened)
        return;
    // The text lines are written into the cells here (the terminal display sets them itself).
    const DisplayText* text = display_text();
    if (text->line[DISPLAY_TEXT_TOP][0] || text->line[DISPLAY_TEXT_BOTTOM][0]) {
        static DisplayCell stamped[DISPLAY_CELLS];
        memcpy(stamped, cells, sizeof stamped);
        display_stamp_text(stamped);
        cells = stamped;
    }
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
    if (con.vt)
        return con.vt->poll();
    if (console_guard_quit() && !con.quit_sent)
        con.quit_sent = display_push_key(KEY_ESCAPE);
    while (_kbhit() && display_push_key(_getch())) {
    }
}

// The input handle is signalled while console input waits, so a key cuts a timed wait short; an
// endless wait is a read of the next key.
static int console_wait(int ms)
{
    if (con.vt)
        return con.vt->wait(ms);
    if (console_guard_quit())
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
    if (con.vt) {
        int got = con.vt->stats(stats);
        size_t n = strlen(stats->detail);
        snprintf(stats->detail + n, sizeof stats->detail - n, " (%s)", con.choice.why);
        return got;
    }
    stats->frames = con.frames;
    stats->writes = con.frames;
    stats->bytes = (long long)con.frames * (long long)sizeof con.cells;
    stats->largest = con.frames ? (long)sizeof con.cells : 0;
    snprintf(stats->detail, sizeof stats->detail, "the console's own %d x %d cells%s (%s)", DISPLAY_COLS, DISPLAY_ROWS,
             con.font_set ? " in the 8 x 8 font" : "", con.choice.why);
    return 1;
}

static int console_close(void)
{
    if (con.vt)
        return con.vt->close();   // still asked for --stats afterwards
    if (!con.opened)
        return 1;
    restore_console();
    console_guard_stop();
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
    .own_text = 1,
};
