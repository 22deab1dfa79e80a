// clock.h -- the millisecond tick count, real or driven by hand (tests, renderer)
#pragma once
#include <cstdint>

uint32_t clock_ticks(void);          // milliseconds, wrapping like a 32-bit tick count
void clock_use_manual(int manual);   // 1: clock_ticks returns the hand-set value from now on
void clock_set(uint32_t ms);         // the hand-set value
void clock_advance(uint32_t ms);     // add to the hand-set value
void clock_sleep(uint32_t ms);       // waits ms; on the hand-set clock, advances it instead

// The platform's own tick count, ms (clock_posix.cpp: the monotonic clock; clock_windows.cpp: GetTickCount).
uint32_t clock_system_ticks(void);
void clock_system_sleep(uint32_t ms);  // the platform's own wait
