// clock_windows.cpp -- the system tick count: GetTickCount, milliseconds since Windows started
#include "platform/clock.h"

#include <windows.h>

uint32_t clock_system_ticks(void) { return (uint32_t)GetTickCount(); }
