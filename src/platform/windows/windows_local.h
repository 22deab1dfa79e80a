// windows_local.h -- what only the Windows host's files share: which way the console is drawn, and why
//
// A Windows program meets three kinds of output today: a console window of its own (the classic
// console host), a pseudoconsole behind a terminal (Windows Terminal, VS Code, an SSH session), whose
// buffer is the tab's size and whose font and colours are the terminal's, and no console at all (a
// file, a pipe). The backend gathers the facts at start; one pure function decides.
#pragma once

// ---- types ----

enum {
    CONSOLE_HOST_CLASSIC = 0,  // the console's own cells, 80 x 50, written whole (a console window)
    CONSOLE_HOST_VT = 1,       // the terminal display over virtual-terminal sequences (a pseudoconsole)
    CONSOLE_HOST_TEXT = 2,     // the terminal display's frames as bytes into a file or pipe
};

// What the backend found out about where it runs; every field 0 or null where not known.
struct ConsoleFacts {
    int out_console;           // 1: standard output is a console screen buffer
    int out_stream;            // 1: standard output is a file or a pipe
    int has_window;            // 1: the console has a window on the screen (GetConsoleWindow, visible)
    const char* window_class;  // that window's class name, or null
    int processes;             // processes attached to the console; 1: ours alone (started by double-click)
    int wine;                  // 1: under Wine, whose console in a Unix terminal has no window and no fonts
    const char* forced;        // "classic", "vt" or "text" (--console or KERV16_CONSOLE), or null
    int relaunched;            // 1: this process was started again in the classic console host
};

struct ConsoleChoice {
    int host;                  // CONSOLE_HOST_*
    int font;                  // 1: set the 8 x 8 raster font and the VGA palette (a real console window)
    int relaunch;              // 1: start again in the classic console host, and end once it runs
    const char* why;           // a few words for --stats
};

// ---- functions ----

// The decision, from the facts alone (no calls to Windows), so that every case can be tested.
ConsoleChoice console_host_choose(const ConsoleFacts* facts);
// "classic", "vt", "text", or null for anything else.
const char* console_host_parse(const char* name);

// The relaunch: the same program with the same arguments in conhost.exe of the system folder, with
// the marker in its environment. 1 when the new process started.
int console_host_relaunch(void);
extern const char* const CONSOLE_RELAUNCH_MARKER;   // environment variable set in the relaunched process

// The guard (console_guard.cpp): restore runs on every way out that passes the main loop by (a second
// Ctrl+C, closing the window or tab, a crash); it must run once only, from any thread.
void console_guard_start(void (*restore)(void));
int console_guard_quit(void);      // 1 once Ctrl+C, Break or closing asked the show to end
void console_guard_stop(void);     // after the main thread's own restore
