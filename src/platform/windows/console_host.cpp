// console_host.cpp -- which way the Windows build draws: the console's own cells, VT sequences, or text into a file; and the relaunch into a console window
//
// Windows Terminal (the default host of Windows 11) gives a program a pseudoconsole: its buffer is
// the tab's size, its font and colours the terminal's, and the size and font calls succeed without
// doing anything. The show then speaks to the terminal as the Linux build does. Started by a
// double-click into such a tab (the console is ours alone), it starts again in the classic console
// host instead, whose window takes the 8 x 8 font and the 80 x 50 grid.
#include "platform/windows/windows_local.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

// ---- state ----

const char* const CONSOLE_RELAUNCH_MARKER = "KERV16_RELAUNCHED";

// ---- public functions ----

const char* console_host_parse(const char* name)
{
    static const char* const NAMES[] = {"classic", "vt", "text"};
    for (const char* n : NAMES)
        if (name && strcmp(name, n) == 0)
            return n;
    return nullptr;
}

ConsoleChoice console_host_choose(const ConsoleFacts* f)
{
    ConsoleChoice c = {CONSOLE_HOST_CLASSIC, 0, 0, ""};
    int pseudo = f->window_class && strcmp(f->window_class, "PseudoConsoleWindow") == 0;
    // A window of its own takes the font. Wine's console inside a Unix terminal has none (and fails the
    // call); Wine's console window has no raster font and squeezes the cells into half their width.
    int window = f->out_console && f->has_window && !pseudo && !f->wine;
    if (f->forced) {
        c.host = strcmp(f->forced, "vt") == 0 ? CONSOLE_HOST_VT
                 : strcmp(f->forced, "text") == 0 ? CONSOLE_HOST_TEXT
                                                   : CONSOLE_HOST_CLASSIC;
        c.font = c.host == CONSOLE_HOST_CLASSIC && window;
        c.why = "as asked";
        return c;
    }
    if (!f->out_console) {
        // A file or a pipe takes the frames as text; with no output at all the console (CONOUT$) is drawn.
        c.host = f->out_stream ? CONSOLE_HOST_TEXT : CONSOLE_HOST_CLASSIC;
        c.why = f->out_stream ? "output is a file or a pipe" : "no standard output";
        return c;
    }
    if (pseudo) {
        c.host = CONSOLE_HOST_VT;
        c.relaunch = f->processes == 1 && !f->relaunched;
        c.why = "a pseudoconsole (Windows Terminal, an SSH session)";
        return c;
    }
    c.font = window;
    c.why = window ? "a console window" : "a console without a window";
    return c;
}

// The command line is this program's, quoted, and the arguments as they came.
int console_host_relaunch(void)
{
    wchar_t system[MAX_PATH], self[MAX_PATH];
    UINT n = GetSystemDirectoryW(system, MAX_PATH);
    DWORD m = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH - 16 || m == 0 || m >= MAX_PATH)
        return 0;
    wchar_t host[MAX_PATH + 16];
    swprintf(host, MAX_PATH + 16, L"%ls\\conhost.exe", system);
    // What follows the program name on our own command line.
    const wchar_t* args = GetCommandLineW();
    if (*args == L'"') {
        args++;
        while (*args && *args != L'"')
            args++;
        if (*args)
            args++;
    } else {
        while (*args && *args != L' ' && *args != L'\t')
            args++;
    }
    static wchar_t line[32768];
    if (swprintf(line, sizeof line / sizeof line[0], L"conhost.exe \"%ls\"%ls", self, args) < 0)
        return 0;
    SetEnvironmentVariableA(CONSOLE_RELAUNCH_MARKER, "1");
    STARTUPINFOW si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    // Detached: the new host makes a console window of its own rather than joining this tab.
    int ok = CreateProcessW(host, line, nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi) != 0;
    SetEnvironmentVariableA(CONSOLE_RELAUNCH_MARKER, nullptr);
    if (!ok)
        return 0;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 1;
}
