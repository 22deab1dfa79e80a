// console_guard.cpp -- the console put back on every way out that passes the main loop by: a second Ctrl+C, closing the window, a crash
//
// Threading: Windows runs the control handler on a thread of its own. It only raises `quit` (read
// as a quit key by the display), except when Windows is about to end the process: then it waits a
// little for the main loop's own restore and restores itself. The restore given runs once,
// whichever thread comes first (it guards itself).
#include "platform/windows/windows_local.h"

#include <windows.h>

// ---- state ----

enum { CLOSE_WAIT_MS = 3000 };   // how long a closing console waits for the main loop to restore it

static struct {
    void (*restore)(void);
    volatile LONG quit;                 // raised by the control handler
    HANDLE restored;                    // set once the main thread has restored the console
    LPTOP_LEVEL_EXCEPTION_FILTER old_filter;
} guard;

// ---- internal functions ----

static BOOL WINAPI on_control(DWORD event)
{
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        // A second one ends the process at once, with the console put back first.
        if (InterlockedExchange(&guard.quit, 1)) {
            guard.restore();
            return FALSE;
        }
        return TRUE;
    }
    // Closing the window, logging off, shutting down: Windows ends the process when this returns.
    InterlockedExchange(&guard.quit, 1);
    if (guard.restored)
        WaitForSingleObject(guard.restored, CLOSE_WAIT_MS);
    guard.restore();
    return TRUE;
}

static LONG WINAPI on_crash(EXCEPTION_POINTERS* info)
{
    guard.restore();
    return guard.old_filter ? guard.old_filter(info) : EXCEPTION_CONTINUE_SEARCH;
}

// ---- public functions ----

void console_guard_start(void (*restore)(void))
{
    guard.restore = restore;
    guard.quit = 0;
    if (!guard.restored)
        guard.restored = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    else
        ResetEvent(guard.restored);
    SetConsoleCtrlHandler(on_control, TRUE);
    guard.old_filter = SetUnhandledExceptionFilter(on_crash);
}

int console_guard_quit(void) { return guard.quit != 0; }

void console_guard_stop(void)
{
    SetUnhandledExceptionFilter(guard.old_filter);
    if (guard.restored)
        SetEvent(guard.restored);
    SetConsoleCtrlHandler(on_control, FALSE);
}
