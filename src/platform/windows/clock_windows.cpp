// clock_windows.cpp -- the system tick count (GetTickCount, ms since Windows started) and waits
#include "platform/clock.h"

#include <windows.h>

uint32_t clock_system_ticks(void) { return (uint32_t)GetTickCount(); }

void clock_system_sleep(uint32_t ms) { Sleep(ms); }
